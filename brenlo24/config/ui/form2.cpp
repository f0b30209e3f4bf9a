#include "brenlo24/config/ui/form2.h"

#include "brenlo24/link/commands.h"
#include "brenlo24/link/commsettings.h"
#include "brenlo24/link/packetdump.h"
#include "brenlo24/link/ui/form1.h"
#include "common/progfolder.h"
#include "common/textfile.h"
#include "common/ui/qtutil.h"

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <filesystem>

namespace varenta {

namespace {

QString name(const char* base, int index) { return QStringLiteral("%1_%2").arg(QLatin1String(base)).arg(index); }

const char* kChannelBTips[6] = {"平均風向", "平均流向", "平均水温（0.1℃）", "平均気温（0.1℃）", "平均気圧（0.1hPa）",
                                "平均値"};

}  // namespace

Form2::Form2(Form1& main) : QDialog(&main), main_(main)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QString::fromUtf8(devtext::kDialogTitle));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(false);
    // A closed dialog is gone, so that restoring the main window never
    // brings it back; each opening starts from the device-information record.
    setAttribute(Qt::WA_DeleteOnClose);
    build();
    applyOptionFlags();
    display(shownImage());
}

// ---- building ----

QLineEdit* Form2::edit(QWidget* parent, const char* objectName, const QString& tip, bool readOnly)
{
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(objectName));
    e->setToolTip(tip);
    e->setReadOnly(readOnly);
    e->setMaximumWidth(130);
    e->installEventFilter(this);
    if (!readOnly)
        connect(e, &QLineEdit::textChanged, this, [this, e] {
            if (!filling_)
                bringPageOf(e);
        });
    edits_[e->objectName()] = e;
    return e;
}

QCheckBox* Form2::check(QWidget* parent, const char* objectName, const QString& caption, const QString& tip)
{
    auto* c = new QCheckBox(caption, parent);
    c->setObjectName(QString::fromLatin1(objectName));
    if (!tip.isEmpty())
        c->setToolTip(tip);
    c->installEventFilter(this);
    connect(c, &QCheckBox::toggled, this, [this, c] {
        if (!filling_)
            bringPageOf(c);
    });
    checks_[c->objectName()] = c;
    return c;
}

QWidget* Form2::buildConnectionPage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("Tab_0"));
    auto* lay = new QHBoxLayout(page);

    auto frame = [&](const QString& title) {
        auto* f = new QGroupBox(title, page);
        f->setObjectName(name("Frame", static_cast<int>(frames_.size())));
        f->installEventFilter(this);
        frames_.push_back(f);
        return f;
    };
    auto row = [](QGridLayout* g, int r, const QString& caption, QWidget* w) {
        g->addWidget(new QLabel(caption), r, 0);
        g->addWidget(w, r, 1);
    };

    QGroupBox* dev = frame(QStringLiteral("装置"));
    auto* g1 = new QGridLayout(dev);
    row(g1, 0, QStringLiteral("機械番号"),
        edit(dev, "Text1_0", QStringLiteral("装置の機械番号（変更不可）。ハイフォンに続く値は機種番号です。"), true));
    row(g1, 1, QStringLiteral("製造年月"), edit(dev, "Text1_1", QStringLiteral("製造年／月（変更不可）"), true));
    row(g1, 2, QStringLiteral("リセット後の通信速度"),
        edit(dev, "Text1_2", QStringLiteral("本体リセット後の通信速度（1200～115200）")));
    row(g1, 3, QStringLiteral("周波数カウンタ"),
        edit(dev, "Text1_3", QStringLiteral("周波数カウンタの読み（小数２桁）")));
    row(g1, 4, QStringLiteral("オプションフラグ"),
        edit(dev, "Text1_4", QStringLiteral("オプションフラグの設定値（３２ビット、１６進数）")));
    g1->addWidget(check(dev, "Check1_7", QStringLiteral("測定自動起動"),
                        QStringLiteral("電源投入で測定を開始します（オフ：保管状態になります）")),
                  5, 0, 1, 2);
    g1->setRowStretch(6, 1);

    QGroupBox* net = frame(QStringLiteral("接続"));
    auto* g2 = new QGridLayout(net);
    g2->addWidget(check(net, "Check1_0", QStringLiteral("常時接続"), QStringLiteral("インターネットに常時接続します")),
                  0, 0);
    g2->addWidget(check(net, "Check1_9", QStringLiteral("ユビキタス機能"),
                        QStringLiteral("インターネット機能を使います")),
                  0, 1);
    g2->addWidget(check(net, "Check1_1", QStringLiteral("サーバー運用"), QStringLiteral("サーバーと連携して運用します")),
                  1, 0);
    row(g2, 2, QStringLiteral("自動送信の測定数"),
        edit(net, "Text2_0", QStringLiteral("自動送信で送る過去の測定数（０は自動送信なし）")));
    row(g2, 3, QStringLiteral("定時送信の基準時"),
        edit(net, "Text2_2", QStringLiteral("定時送信の基準時刻（時、２４は定時送信なし）")));
    row(g2, 4, QStringLiteral("定時送信の基準分"), edit(net, "Text2_3", QStringLiteral("定時送信の基準時刻（分）")));
    row(g2, 5, QStringLiteral("定時送信の間隔"), edit(net, "Text2_1", QStringLiteral("定時送信の間隔（分、10～240）")));
    row(g2, 6, QStringLiteral("送信までの待ち"),
        edit(net, "Text2_4", QStringLiteral("測定終了から自動送信までの待ち時間（秒）")));
    row(g2, 7, QStringLiteral("FTPサーバー"),
        edit(net, "Text3_2", QStringLiteral("FTPサーバーのIPアドレス（000.000.000.000）")));

    QGroupBox* state = frame(QStringLiteral("接続状況"));
    auto* g3 = new QGridLayout(state);
    row(g3, 0, QStringLiteral("P-Rty"), edit(state, "Text6_12", QStringLiteral("PPP接続の再試行回数"), true));
    row(g3, 1, QStringLiteral("H-Err"), edit(state, "Text6_11", QStringLiteral("データ受信エラーの回数"), true));
    row(g3, 2, QStringLiteral("T-Rty"), edit(state, "Text6_10", QStringLiteral("TCP接続の再試行回数"), true));
    row(g3, 3, QStringLiteral("アンテナ"), edit(state, "Text2_5", QStringLiteral("アンテナ本数（０～４）"), true));
    QCheckBox* mark = check(state, "Check5_0", QStringLiteral("接続中"), QStringLiteral("接続中の印"));
    mark->setAttribute(Qt::WA_TransparentForMouseEvents);
    mark->setFocusPolicy(Qt::NoFocus);
    g3->addWidget(mark, 4, 0, 1, 2);
    g3->setRowStretch(5, 1);

    auto* left = new QVBoxLayout;
    left->addWidget(dev);
    left->addWidget(state);
    lay->addLayout(left);
    lay->addWidget(net);
    return page;
}

QWidget* Form2::buildProcessingPage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("Tab_1"));
    auto* lay = new QHBoxLayout(page);
    auto* values = new QGroupBox(QStringLiteral("パラメータ"), page);
    values->setObjectName(QStringLiteral("Frame_p0"));
    values->installEventFilter(this);
    frames_.push_back(values);
    auto* g = new QGridLayout(values);
    int r = 0;
    for (const ProcessingField& f : processingFields()) {
        const QByteArray objectName = name("Text4", f.index).toLatin1();
        g->addWidget(new QLabel(QString::fromUtf8(f.name), values), r, 0);
        g->addWidget(edit(values, objectName.constData(), QString::fromUtf8(f.tip)), r, 1);
        ++r;
    }
    auto* boxes = new QGroupBox(QStringLiteral("処理"), page);
    boxes->setObjectName(QStringLiteral("Frame_p1"));
    boxes->installEventFilter(this);
    frames_.push_back(boxes);
    auto* v = new QVBoxLayout(boxes);
    for (const ProcessingBit& b : processingBits()) {
        const QByteArray objectName = name("Check4", b.index).toLatin1();
        QCheckBox* c = check(boxes, objectName.constData(), QString::fromUtf8(b.caption));
        v->addWidget(c);
        if (b.index == 7 || b.index == 8)
            connect(c, &QCheckBox::toggled, this, [this, idx = b.index](bool on) { onExclusive(idx, on); });
    }
    v->addStretch(1);
    lay->addWidget(values);
    lay->addWidget(boxes);
    return page;
}

QWidget* Form2::buildCoefficientPage()
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("Tab_2"));
    auto* lay = new QVBoxLayout(page);
    auto* f = new QGroupBox(QStringLiteral("係数Ａ・係数Ｂ"), page);
    f->setObjectName(QStringLiteral("Frame_c0"));
    f->installEventFilter(this);
    frames_.push_back(f);
    auto* g = new QGridLayout(f);
    for (int half = 0; half < 2; ++half) {
        g->addWidget(new QLabel(QStringLiteral("係数Ａ"), f), 0, half * 3 + 1);
        g->addWidget(new QLabel(QStringLiteral("係数Ｂ"), f), 0, half * 3 + 2);
    }
    for (int ch = 0; ch < 16; ++ch) {
        const int col = (ch / 8) * 3, r = ch % 8 + 1;
        auto* l = new QLabel(f);
        channelLabels_[ch] = l;
        g->addWidget(l, r, col);
        const QString tipA = ch < 6 ? QStringLiteral("係数Ａ（チャンネルの平均値も表示）") : QStringLiteral("係数Ａ");
        const QString tipB = ch < 6 ? QStringLiteral("係数Ｂ（%1）").arg(QString::fromUtf8(kChannelBTips[ch]))
                                    : QStringLiteral("係数Ｂ");
        const QByteArray a = name("Text5", 2 * ch).toLatin1(), b = name("Text5", 2 * ch + 1).toLatin1();
        g->addWidget(edit(f, a.constData(), tipA), r, col + 1);
        g->addWidget(edit(f, b.constData(), tipB), r, col + 2);
    }
    g->setRowStretch(9, 1);
    lay->addWidget(f, 1);
    QCheckBox* high = check(page, "Check4_3", QStringLiteral("CH32"), QStringLiteral("ＣＨ１７～ＣＨ３２の値を設定する"));
    connect(high, &QCheckBox::toggled, this, &Form2::onChannelRangeToggled);
    lay->addWidget(high);
    return page;
}

void Form2::build()
{
    auto* lay = new QVBoxLayout(this);
    label1_0_ = new QLabel(this);
    label1_0_->setObjectName(QStringLiteral("Label1_0"));
    label1_0_->setToolTip(QStringLiteral("ダブルクリックで変更／一時変更を切り替えます"));
    label1_0_->installEventFilter(this);
    lay->addWidget(label1_0_);

    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("SSTab1"));
    tabs_->addTab(buildConnectionPage(), QString::fromUtf8(devTabName(DevTab::Connection)));
    tabs_->addTab(buildProcessingPage(), QString::fromUtf8(devTabName(DevTab::Processing)));
    tabs_->addTab(buildCoefficientPage(), QString::fromUtf8(devTabName(DevTab::Coefficients)));
    lay->addWidget(tabs_, 1);

    auto* buttons = new QHBoxLayout;
    const char* captions[4] = {"変更", "オリジナル", "現在値", "出荷時"};
    const char* tips[4] = {"表示しているタブの値を本体に送ります", "本体の不揮発メモリの値を読み出します",
                           "本体の現在の値（ＲＡＭ）を読み出します", ""};
    for (int i = 0; i < 4; ++i) {
        command1_[i] = new QPushButton(QString::fromUtf8(captions[i]), this);
        command1_[i]->setObjectName(name("Command1", i));
        command1_[i]->setToolTip(QString::fromUtf8(tips[i]));
        buttons->addWidget(command1_[i]);
    }
    lay->addLayout(buttons);

    connect(command1_[0], &QPushButton::clicked, this, &Form2::sendChange);
    connect(command1_[1], &QPushButton::clicked, this, [this] { readValues(false); });
    connect(command1_[2], &QPushButton::clicked, this, [this] {
        if (main_.settings().optionFlags & (optflag::kUploadIndex62 | optflag::kUploadItemTable))
            uploadTable();
        else
            readValues(true);
    });
    connect(command1_[3], &QPushButton::clicked, this, &Form2::switchMode);
}

void Form2::applyOptionFlags()
{
    const std::uint32_t flags = main_.settings().optionFlags;
    const bool temporary = flags & optflag::kTempChangeMode;
    command1_[0]->setText(temporary ? QStringLiteral("一時変更") : QStringLiteral("変更"));
    label1_0_->setText(temporary ? QStringLiteral("一時変更モード（ＲＡＭの値）") : QStringLiteral("変更モード（不揮発メモリの値）"));
    const bool sd = flags & optflag::kUploadIndex62;
    if (sd) {
        command1_[2]->setText(QStringLiteral("ＳＤ変更"));
        command1_[2]->setToolTip(QStringLiteral("本体のＳＤカードのindex62.txtを書き換えます"));
    } else if (flags & optflag::kUploadItemTable) {
        command1_[2]->setText(QStringLiteral("テーブル変更"));
        command1_[2]->setToolTip(QStringLiteral("処理結果項目テーブル（Brenlo2.tbl）を本体に送ります"));
    }
    command1_[0]->setEnabled(!sd);
    command1_[1]->setEnabled(!sd);
    command1_[3]->setEnabled(!sd);
    tabs_->setEnabled(!sd);
}

// ---- showing ----

bool Form2::temporaryMode() const { return main_.settings().optionFlags & optflag::kTempChangeMode; }

DevTab Form2::currentTab() const { return static_cast<DevTab>(tabs_->currentIndex()); }

Packet Form2::shownImage() const
{
    const StatusRecord& info = main_.link().deviceInfo();
    if (info.valid && packetKindNibble(info.raw[2]) == kKindDeviceInfo)
        return info.raw;
    Packet p{};
    readPacketDump(programFile("Brenlo.tbl"), p);
    return p;
}

void Form2::display(const Packet& image)
{
    filling_ = true;
    const bool high = checks_.at(QStringLiteral("Check4_3"))->isChecked();
    for (DevTab tab : {DevTab::Connection, DevTab::Processing, DevTab::Coefficients})
        for (const auto& [key, text] : showFields(image, tab, high)) {
            const QString k = qs(key);
            if (auto it = edits_.find(k); it != edits_.end())
                it->second->setText(qs(text));
            else if (auto c = checks_.find(k); c != checks_.end())
                c->second->setChecked(text == "1");
        }
    for (const auto& [ch, label] : channelLabels_)
        label->setText(QStringLiteral("CH%1").arg(ch + (high ? 17 : 1)));
    const ModeButton mb = modeButtonFor(image);
    command1_[3]->setText(qs(mb.caption));
    command1_[3]->setToolTip(qs(mb.tooltip));
    filling_ = false;
}

bool Form2::bringPageOf(QWidget* w)
{
    for (int i = 0; i < tabs_->count(); ++i) {
        QWidget* page = tabs_->widget(i);
        if (w && (w == page || page->isAncestorOf(w))) {
            tabs_->setCurrentIndex(i);
            return true;
        }
    }
    return false;
}

FieldTexts Form2::textsOf(DevTab tab) const
{
    QWidget* page = tabs_->widget(static_cast<int>(tab));
    FieldTexts t;
    for (const auto& [key, e] : edits_)
        if (!e->isReadOnly() && page->isAncestorOf(e))
            t[ss(key)] = ss(e->text());
    for (const auto& [key, c] : checks_)
        if (page->isAncestorOf(c) && key != QLatin1String("Check4_3") && key != QLatin1String("Check5_0"))
            t[ss(key)].assign(1, c->isChecked() ? '1' : '0');
    return t;
}

// ---- the rules ----

PermissionInputs Form2::permissionInputs() const
{
    PermissionInputs in;
    const StatusRecord& cur = main_.link().current();
    in.modelCode = cur.modelCode();
    in.stateByte = cur.state;
    in.temporaryMode = temporaryMode();
    in.lastCommand = main_.link().lastCommandCode();
    in.lastReceivedKind = main_.link().lastReceivedKind();
    in.optionFlags = main_.settings().optionFlags;
    return in;
}

bool Form2::refused(DevChange what)
{
    if (auto r = checkPermission(permissionInputs(), what)) {
        main_.prompter().message(r->title, r->text, MsgIcon::Critical);
        return true;
    }
    return false;
}

void Form2::status(const std::string& text) { main_.showStatus(text); }

bool Form2::confirmBox(const Confirmation& c)
{
    const MsgAnswer a = main_.prompter().message(c.title, c.text, MsgIcon::Warning, MsgButtons::OkCancel);
    if (a != MsgAnswer::Ok) {
        status(devtext::kCancelled);
        return false;
    }
    return true;
}

void Form2::afterAnswer()
{
    // A device-information answer: it is also the newest status of the
    // logger, for the status panel and the start controls.
    DeviceLink& link = main_.link();
    if (packetKindNibble(static_cast<std::uint8_t>(link.lastReceivedKind())) == kKindDeviceInfo) {
        decodeStatus(link.lastReceived(), link.current());
        main_.echoReceived(link.lastReceived(), false);
    }
    display(shownImage());
}

// ---- buttons ----

void Form2::openAndRead()
{
    show();
    raise();
    activateWindow();
    readValues(temporaryMode());
}

void Form2::readValues(bool current)
{
    if (main_.link().sendCommand(current ? devcode::kReadCurrent : devcode::kReadStored,
                                 sendmode::kWait | sendmode::kArmTimeout) != DeviceLink::SendResult::Sent)
        return;
    afterAnswer();
}

void Form2::sendChange()
{
    Packet image{};
    if (readPacketDump(programFile("Brenlo.tbl"), image) != Status::Ok) {
        main_.prompter().message(devtext::kChangeTitle,
                                 "装置情報（Brenlo.tbl）がありません。［オリジナル］か［現在値］で読み出して下さい",
                                 MsgIcon::Critical);
        return;
    }
    if (refused(DevChange::Fields))
        return;
    const bool temporary = temporaryMode();
    image[devinfo::changeCode] = temporary ? devcode::kTemporaryChange : devcode::kStoredChange;

    const DevTab tab = currentTab();
    MainWindowFields mw;
    mw.params = main_.commandParameters();
    mw.lastStatusFlags = static_cast<std::uint8_t>(main_.link().current().measureFlags);
    const bool high = checks_.at(QStringLiteral("Check4_3"))->isChecked();
    if (auto err = writeFields(image, tab, textsOf(tab), mw, high)) {
        main_.prompter().message(devtext::kEntryTitle, err->message, MsgIcon::Warning);
        if (auto it = edits_.find(qs(err->control)); it != edits_.end()) {
            it->second->setFocus();
            it->second->selectAll();
        }
        return;
    }

    const Confirmation c = changeConfirmation(tab, temporary);
    if (confirm(main_.prompter(), confirmRequest(c.text, c.title)).cancelled) {
        status(devtext::kCancelled);
        return;
    }
    const int mode = temporary ? (sendmode::kWait | sendmode::kArmTimeout | sendmode::kHeadOnly)
                               : (sendmode::kPause | sendmode::kHeadOnly);
    if (main_.link().sendCommand(hexImage(image), mode) != DeviceLink::SendResult::Sent)
        return;
    if (temporary)
        afterAnswer();
    status(devtext::kChangeDone);
}

void Form2::uploadTable()
{
    const std::uint32_t flags = main_.settings().optionFlags;
    if (refused(DevChange::TableUpload))
        return;
    const int machine = main_.commandParameters().machineNumber;
    Packet packet{};
    if (flags & optflag::kUploadIndex62) {
        std::string bytes;
        const std::string path = programFile("index62.txt");
        if (readFileBytes(path, bytes) != Status::Ok) {
            main_.prompter().message(devtext::kTableFileTitle, "index62.txtを読めません\r\n" + path, MsgIcon::Critical);
            return;
        }
        std::string error;
        auto p = index62Packet(bytes, machine, error);
        if (!p) {
            main_.prompter().message(devtext::kTableFileTitle, error, MsgIcon::Critical);
            return;
        }
        if (!confirmBox(index62Confirmation()))
            return;
        packet = *p;
    } else {
        Packet dump{};
        const std::string path = programFile("Brenlo2.tbl");
        if (readPacketDump(path, dump) != Status::Ok) {
            main_.prompter().message(devtext::kTableFileTitle,
                                     "Brenlo2.tblを読めません（16進ダンプ形式で512バイトのテーブルが必要です）\r\n" + path,
                                     MsgIcon::Critical);
            return;
        }
        if (!confirmBox(itemTableConfirmation()))
            return;
        packet = itemTablePacket(dump, machine);
    }
    if (main_.link().sendCommand(hexImage(packet), sendmode::kRawImage | sendmode::kPause) ==
        DeviceLink::SendResult::Sent)
        status(devtext::kChangeDone);
}

void Form2::switchMode()
{
    if (refused(DevChange::ModelSwitch))
        return;
    const ModeButton mb = modeButtonFor(shownImage());
    if (!confirmBox(mb.confirm))
        return;
    main_.link().sendCommand(mb.code, sendmode::kArmTimeout);
}

void Form2::toggleChangeMode()
{
    main_.settings().optionFlags ^= optflag::kTempChangeMode;
    applyOptionFlags();
}

void Form2::onChannelRangeToggled(bool on)
{
    if (filling_)
        return;
    if (packetKindNibble(static_cast<std::uint8_t>(main_.link().lastReceivedKind())) != kKindDeviceInfo) {
        main_.prompter().message(devtext::kCoefficientTitle,
                                 std::string(temporaryMode() ? devtext::kCurrentWide : devtext::kStoredWide) +
                                     devtext::kCoefficientSuffix,
                                 MsgIcon::Critical);
        // The switch goes back, so that the boxes and the switch agree.
        filling_ = true;
        checks_.at(QStringLiteral("Check4_3"))->setChecked(!on);
        filling_ = false;
        return;
    }
    display(shownImage());
}

void Form2::onExclusive(int index, bool on)
{
    if (!on)
        return;
    QCheckBox* other = checks_.at(name("Check4", index == 7 ? 8 : 7));
    if (other->isChecked())
        other->setChecked(false);
}

// ---- events ----

bool Form2::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == label1_0_ && e->type() == QEvent::MouseButtonDblClick) {
        toggleChangeMode();
        return true;
    }
    if (e->type() == QEvent::FocusIn)
        if (auto* w = qobject_cast<QWidget*>(watched))
            bringPageOf(w);
    if (e->type() == QEvent::ContextMenu && qobject_cast<QGroupBox*>(watched)) {
        contextMenuEvent(static_cast<QContextMenuEvent*>(e));
        return true;
    }
    return QDialog::eventFilter(watched, e);
}

void Form2::contextMenuEvent(QContextMenuEvent* e)
{
    if (auto* popup = main_.findChild<QMenu*>(QStringLiteral("Popup")))
        popup->exec(e->globalPos());
}

}  // namespace varenta
