// The input dialog, the version box and the Qt prompter, driven offscreen.
#include "common/ui/inputdialog.h"
#include "common/ui/qtprompter.h"
#include "common/ui/qtutil.h"
#include "common/ui/versionbox.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

using namespace varenta;

namespace {

// Runs fn on the first visible top-level widget of type T as soon as one
// shows up (used to answer modal dialogs).
template <class T>
void whenShown(std::function<void(T*)> fn, int timeoutMs = 5000)
{
    auto* timer = new QTimer;
    auto* elapsed = new QElapsedTimer;
    elapsed->start();
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [=] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* t = qobject_cast<T*>(w); t && t->isVisible()) {
                timer->stop();
                fn(t);
                timer->deleteLater();
                delete elapsed;
                return;
            }
        }
        if (elapsed->elapsed() > timeoutMs) {
            timer->stop();
            timer->deleteLater();
            delete elapsed;
        }
    });
    timer->start();
}

InputRequest request(int style, const std::string& preset, int countdown = 0)
{
    InputRequest r;
    r.caption = "アプリケーションの初期化 ";
    r.message = "一行目\r\n二行目";
    r.style = style;
    r.preset = preset;
    r.checkCaption = "次回も確認";
    r.countdown = countdown;
    return r;
}

}  // namespace

TEST(InputDialog, CountdownOfFiveShowsFourToOneThenAcceptsPreset)
{
    InputDialog dlg;
    dlg.setRequest(request(InputRequest::ShowInput, "  03=標準  ", 5));
    dlg.show();
    ASSERT_TRUE(dlg.countdownRunning());
    std::vector<QString> captions;
    for (int i = 0; i < 4; ++i) {
        dlg.tick();
        captions.push_back(dlg.windowTitle());
        EXPECT_TRUE(dlg.isVisible());
    }
    const std::vector<QString> want = {
        QStringLiteral("アプリケーションの初期化  4"), QStringLiteral("アプリケーションの初期化  3"),
        QStringLiteral("アプリケーションの初期化  2"), QStringLiteral("アプリケーションの初期化  1")};
    EXPECT_EQ(captions, want);
    dlg.tick();
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result().answer, "03=標準");
    EXPECT_EQ(dlg.result().check, "0");
}

TEST(InputDialog, RealCountdownAcceptsPresetByItself)
{
    QElapsedTimer t;
    t.start();
    const InputResult r = InputDialog::ask(nullptr, request(InputRequest::ShowInput, "12", 2));
    EXPECT_EQ(r.answer, "12");
    // Two ticks of one second each pass before the preset is taken.
    EXPECT_GE(t.elapsed(), 1900);
}

TEST(InputDialog, TypingStopsTheCountdown)
{
    InputDialog dlg;
    dlg.setRequest(request(InputRequest::ShowInput, "abc", 3));
    dlg.show();
    ASSERT_TRUE(dlg.countdownRunning());
    QKeyEvent press(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
    QCoreApplication::sendEvent(dlg.inputBox()->lineEdit(), &press);
    EXPECT_FALSE(dlg.countdownRunning());
    // The dialog now waits for OK or cancel.
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 1300)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_TRUE(dlg.isVisible());
    dlg.close();
}

TEST(InputDialog, NoCountdownBelowTwoSeconds)
{
    for (int c : {0, 1, -3}) {
        InputDialog dlg;
        dlg.setRequest(request(InputRequest::ShowInput, "x", c));
        dlg.show();
        EXPECT_FALSE(dlg.countdownRunning()) << c;
        dlg.close();
    }
}

TEST(InputDialog, ButtonsAndCloseBoxGiveAnswerAndCheck)
{
    struct Case {
        const char* name;
        int style;
        std::function<void(InputDialog&)> act;
        std::string answer;
        std::string check;
    };
    const int withCheck = InputRequest::ShowInput | InputRequest::ShowCheck;
    const std::vector<Case> cases = {
        {"ok trims", InputRequest::ShowInput,
         [](InputDialog& d) {
             d.inputBox()->setEditText(QStringLiteral("  24/ 1/ 5  "));
             d.findChild<QPushButton*>(QStringLiteral("Command1"))->click();
         },
         "24/ 1/ 5", "0"},
        {"cancel", InputRequest::ShowInput | InputRequest::ShowCheck | InputRequest::CheckTicked,
         [](InputDialog& d) { d.findChild<QPushButton*>(QStringLiteral("Command2"))->click(); }, "can", "1"},
        {"close box", withCheck,
         [](InputDialog& d) {
             d.checkBox()->setChecked(true);
             d.close();
         },
         "can", "1"},
        {"escape", withCheck,
         [](InputDialog& d) {
             QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
             QCoreApplication::sendEvent(&d, &esc);
         },
         "can", "0"},
        {"ok with tick", withCheck | InputRequest::CheckTicked,
         [](InputDialog& d) { d.findChild<QPushButton*>(QStringLiteral("Command1"))->click(); }, "preset", "1"},
        {"ok after untick", withCheck | InputRequest::CheckTicked,
         [](InputDialog& d) {
             d.checkBox()->setChecked(false);
             d.findChild<QPushButton*>(QStringLiteral("Command1"))->click();
         },
         "preset", "0"},
    };
    for (const Case& c : cases) {
        InputDialog dlg;
        dlg.setRequest(request(c.style, "preset"));
        dlg.show();
        c.act(dlg);
        EXPECT_FALSE(dlg.isVisible()) << c.name;
        EXPECT_EQ(dlg.result().answer, c.answer) << c.name;
        EXPECT_EQ(dlg.result().check, c.check) << c.name;
    }
}

TEST(InputDialog, StyleBitsShapeTheDialog)
{
    InputDialog dlg;
    InputRequest r = request(InputRequest::RedMessage, "p");
    r.choices = {"00=標準", "01=風"};
    dlg.setRequest(r);
    dlg.show();
    EXPECT_FALSE(dlg.inputBox()->isVisible());
    EXPECT_FALSE(dlg.checkBox()->isVisible());
    auto* text = dlg.findChild<QPlainTextEdit*>(QStringLiteral("Text1"));
    ASSERT_NE(text, nullptr);
    EXPECT_TRUE(text->isReadOnly());
    EXPECT_EQ(text->toPlainText(), QStringLiteral("一行目\n二行目"));
    EXPECT_EQ(text->palette().color(QPalette::Text), QColor(Qt::red));
    EXPECT_EQ(dlg.inputBox()->count(), 2);
    EXPECT_EQ(dlg.findChild<QPushButton*>(QStringLiteral("Command2"))->text(), QStringLiteral("ｷｬﾝｾﾙ"));
    dlg.close();

    InputDialog dlg2;
    dlg2.setRequest(request(InputRequest::ShowInput | InputRequest::ShowCheck | InputRequest::CheckTicked, "全体"));
    dlg2.show();
    EXPECT_TRUE(dlg2.inputBox()->isVisible());
    EXPECT_TRUE(dlg2.checkBox()->isVisible());
    EXPECT_TRUE(dlg2.checkBox()->isChecked());
    EXPECT_EQ(dlg2.checkBox()->text(), QStringLiteral("次回も確認"));
    // The preset is selected whole with the caret at its start.
    EXPECT_EQ(dlg2.inputBox()->lineEdit()->selectedText(), QStringLiteral("全体"));
    EXPECT_EQ(dlg2.inputBox()->lineEdit()->cursorPosition(), 0);
    EXPECT_EQ(dlg2.findChild<QPlainTextEdit*>(QStringLiteral("Text1"))->palette().color(QPalette::Text),
              QColor(Qt::black));
    dlg2.close();
}

TEST(VersionBox, ShowsTextsAndClosesWithOk)
{
    VersionBox box(QStringLiteral("VarentaK Version 4.8.241D"), drawnProgramIcon(QChar('T'), Qt::darkBlue));
    box.show();
    EXPECT_EQ(box.objectName(), QStringLiteral("Form6"));
    EXPECT_EQ(box.windowTitle(), QStringLiteral("Varentix - バージョン情報"));
    EXPECT_EQ(box.findChild<QLabel*>(QStringLiteral("Label1"))->text(), QStringLiteral("VarentaK Version 4.8.241D"));
    EXPECT_EQ(box.findChild<QLabel*>(QStringLiteral("Label2"))->text(), QStringLiteral("for Windows System"));
    EXPECT_FALSE(box.findChild<QLabel*>(QStringLiteral("Image1"))->pixmap().isNull());
    box.findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    EXPECT_FALSE(box.isVisible());
}

TEST(QtPrompter, MessageBoxShowsTitleTextIconAndDefault)
{
    QtPrompter p;
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QAbstractButton* def = nullptr;
    bool cancelIsDefault = false;
    whenShown<QMessageBox>([&](QMessageBox* box) {
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        def = box->defaultButton();
        cancelIsDefault = def == box->button(QMessageBox::Cancel);
        box->button(QMessageBox::No)->click();
    });
    const MsgAnswer a = p.message("自動機能停止の警告", "自動処理､機能が作動しています。\r\n［はい］＝終了", MsgIcon::Critical,
                                  MsgButtons::YesNoCancel);
    EXPECT_EQ(a, MsgAnswer::No);
    EXPECT_EQ(title, QStringLiteral("自動機能停止の警告"));
    EXPECT_EQ(text, QStringLiteral("自動処理､機能が作動しています。\n［はい］＝終了"));
    EXPECT_EQ(icon, QMessageBox::Critical);
    EXPECT_TRUE(cancelIsDefault);
}

TEST(QtPrompter, AskGoesThroughTheInputDialog)
{
    QtPrompter p;
    whenShown<InputDialog>([](InputDialog* d) {
        d->inputBox()->setEditText(QStringLiteral(" 05 "));
        d->checkBox()->setChecked(true);
        d->findChild<QPushButton*>(QStringLiteral("Command1"))->click();
    });
    bool checked = false;
    EXPECT_EQ(p.ask("題", "質問", "01", 0, "確認", &checked), "05");
    EXPECT_TRUE(checked);
}

TEST(QtUtil, ColourNumbersHaveRedInTheLowByte)
{
    struct Case {
        long long n;
        QColor c;
    } cases[] = {{255, QColor(255, 0, 0)},
                 {65280, QColor(0, 255, 0)},
                 {16711680, QColor(0, 0, 255)},
                 {12632256, QColor(192, 192, 192)},
                 {0, QColor(0, 0, 0)}};
    for (const Case& c : cases) {
        EXPECT_EQ(colorFromNumber(c.n), c.c) << c.n;
        EXPECT_EQ(colorNumber(c.c), c.n) << c.n;
    }
    EXPECT_EQ(colorFromText(" 255 ", Qt::white), QColor(255, 0, 0));
    for (const char* bad : {"", "abc", "-1", "16777216", "1.5"})
        EXPECT_EQ(colorFromText(bad, Qt::white), QColor(Qt::white)) << bad;
}

TEST(QtUtil, FontFromSettingsKeepsBaseForBadValues)
{
    QFont base(QStringLiteral("IPAGothic"), 10);
    QFont f = fontFromSettings(base, "ＭＳ ゴシック", "12", "True", "False");
    EXPECT_EQ(f.family(), QStringLiteral("ＭＳ ゴシック"));
    EXPECT_DOUBLE_EQ(f.pointSizeF(), 12.0);
    EXPECT_TRUE(f.bold());
    EXPECT_FALSE(f.italic());
    QFont g = fontFromSettings(base, " ", "x", "maybe", "true");
    EXPECT_EQ(g.family(), QStringLiteral("IPAGothic"));
    EXPECT_DOUBLE_EQ(g.pointSizeF(), 10.0);
    EXPECT_FALSE(g.bold());
    EXPECT_TRUE(g.italic());
}

TEST(InputDialog, ControlsCarryTheirNamesAndTexts)
{
    InputDialog dlg;
    dlg.setRequest(request(InputRequest::ShowInput | InputRequest::ShowCheck, "x"));
    EXPECT_EQ(dlg.objectName(), QStringLiteral("Form7"));
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("アプリケーションの初期化 "));
    const std::pair<const char*, const char*> named[] = {
        {"Text1", "QPlainTextEdit"}, {"Combo1", "QComboBox"},   {"Check1", "QCheckBox"},
        {"Command1", "QPushButton"}, {"Command2", "QPushButton"}, {"Timer1", "QTimer"},
    };
    for (const auto& [name, type] : named) {
        QObject* o = dlg.findChild<QObject*>(QString::fromLatin1(name));
        ASSERT_NE(o, nullptr) << name;
        EXPECT_STREQ(o->metaObject()->className(), type) << name;
    }
    EXPECT_EQ(dlg.findChild<QPushButton*>(QStringLiteral("Command1"))->text(), QStringLiteral("OK"));
    EXPECT_EQ(dlg.findChild<QPushButton*>(QStringLiteral("Command2"))->text(), QStringLiteral("ｷｬﾝｾﾙ"));
    EXPECT_EQ(dlg.findChild<QCheckBox*>(QStringLiteral("Check1"))->text(), QStringLiteral("次回も確認"));
    EXPECT_EQ(dlg.findChild<QTimer*>(QStringLiteral("Timer1"))->interval(), 1000);
    EXPECT_EQ(dlg.inputBox()->currentText(), QStringLiteral("x"));
}
