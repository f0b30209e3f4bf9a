#pragma once
// The document window (Form1): one per view kind, inside the main window.
// A text view shows the heading pane RichTextBox2 over the main text pane
// RichTextBox1; a graph view shows the picture Picture1, with VScroll1 for
// the raw data graph.  The window carries its kind as its tag.
#include <QMdiSubWindow>

#include <set>

class QPlainTextEdit;
class QScrollBar;
class QTimer;

namespace varenta {

class PicturePane;
class ShellServices;
class ViewKind;

class DocumentWindow : public QMdiSubWindow {
    Q_OBJECT
public:
    DocumentWindow(ShellServices& shell, ViewKind& view, QWidget* parent = nullptr);
    ~DocumentWindow() override;

    int kind() const { return kind_; }
    ViewKind& view() const { return view_; }

    QPlainTextEdit* richTextBox1() const { return text1_; }
    QPlainTextEdit* richTextBox2() const { return text2_; }
    PicturePane* picture1() const { return picture_; }
    QScrollBar* vScroll1() const { return vscroll_; }
    QTimer* timer1() const { return timer_; }

    enum class Pane { Heading, Main, Graph };
    Pane activePane() const { return activePane_; }
    void setActivePane(Pane p) { activePane_ = p; }
    bool graphActive() const { return activePane_ == Pane::Graph; }

    // Shows the text panes (tables) or the graph pane; withScroll adds VScroll1.
    void useTextPanes();
    void useGraphPane(bool withScroll);

    // The caret of the main text pane as row and column.
    long long caretRow() const;
    long long caretColumn() const;

    // Fonts and colours of the kind (item 190 + kind), applied to the panes.
    void applyFontAndColours();
    // The Edit menu's font and background commands.  False when cancelled.
    bool chooseFont();
    bool chooseBackground();

    // Clipboard commands on the active pane.
    void copy();
    void cut();
    void paste();
    void selectAll();

    // Edits of the main text (for saving them later).
    bool edited() const { return edited_; }
    void setEdited(bool on) { edited_ = on; }
    const std::set<long long>& editedRows() const { return editedRows_; }
    void addEditedRow(long long number) { editedRows_.insert(number); }
    void clearEdits()
    {
        edited_ = false;
        editedRows_.clear();
    }

    // Position of the window (item 180 + kind values 0..3: top, left,
    // width, height).
    void restorePosition();
    void savePosition();

    // Closes without the refusal rule (the data set is closing).
    void closeForced();

    // Keeps the heading pane in step horizontally with the main pane.
    void syncHeading();

signals:
    void closing(int kind);

protected:
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void popupFromText(const QPoint& globalPos);
    void popupFromGraph(const QPoint& globalPos);

    ShellServices& shell_;
    ViewKind& view_;
    int kind_;
    QWidget* body_;
    QWidget* graphArea_;
    QPlainTextEdit* text1_;
    QPlainTextEdit* text2_;
    PicturePane* picture_;
    QScrollBar* vscroll_;
    QTimer* timer_;
    Pane activePane_ = Pane::Main;
    bool forced_ = false;
    bool edited_ = false;
    std::set<long long> editedRows_;
};

// Texts of the document window.
inline constexpr const char* kForbiddenTitle = "VarentaK - 操作の禁止";
inline constexpr const char* kLastWindowRefusal = "ﾂｰﾙﾊﾞｰが非表示の時は、\r\n全てのｳｨﾝﾄﾞｳを閉じることはできません";

}  // namespace varenta
