#pragma once
// The main window drawn with Qt Widgets. The window model is the truth: the
// view copies it onto the widgets whenever render() runs (the event loop
// calls it around every round of event processing; unchanged parts cost a
// comparison), and it forwards the operator's input (CTRL, "Update",
// "Close", the close box) without deciding anything itself.
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include <QWidget>

#include "app/view_input.h"
#include "session/window_model.h"

class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace qv::qt {

class PictureWidget;

// Where the view sends the operator's input (shared with the other views).
using qv::ViewInput;

// The key code of CTRL that the window logic expects.
inline constexpr int kControlKeyCode = 17;

class MainWindowView : public QWidget {
public:
    MainWindowView(const WindowModel& model, ViewInput input);
    ~MainWindowView() override;

    // Brings the widgets in line with the model.
    void render();

    // The widgets, named as in the window's design.
    QPlainTextEdit* memo1() const { return memo1_; }
    QPlainTextEdit* memo2() const { return memo2_; }
    QFrame* panel1() const { return panel1_; }
    QLabel* label1() const { return label1_; }
    QLabel* label1ErrorMsg() const { return label1ErrorMsg_; }
    QLabel* label2() const { return label2_; }
    QProgressBar* progressBar1() const { return progressBar1_; }
    PictureWidget* image(int number) const;         // Image2 .. Image8
    QPushButton* button(int number) const;          // Button1 .. Button6
    QGroupBox* groupBox(int number) const;          // GroupBox1 .. GroupBox4
    QLineEdit* edit1() const { return edit1_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;

private:
    class KeyPreview;

    // A widget that mirrors one control of the model.
    struct Binding {
        const Control* control;
        QWidget* widget;
        std::optional<QPoint> place;  // fixed place inside a group box
        std::optional<Control> shown; // what was last applied
    };
    struct PaneBinding {
        const TextPane* pane;
        QPlainTextEdit* edit;
        bool bold;
        bool applied = false;
        std::uint64_t revision = 0;
        std::size_t lineCount = 0;
        int fontSize = 0;
        std::uint32_t fontColour = 0;
    };

    void buildWidgets();
    void bind(const Control& control, QWidget* widget, std::optional<QPoint> place = std::nullopt);
    void renderWindow();
    void renderPane(PaneBinding& binding);
    void renderPanel();
    static void applyControl(Binding& binding);
    void placeOnScreen();

    const WindowModel& model_;
    ViewInput input_;
    std::unique_ptr<KeyPreview> keyPreview_;

    QPlainTextEdit* memo1_ = nullptr;
    QPlainTextEdit* memo2_ = nullptr;
    QFrame* panel1_ = nullptr;
    QLabel* label1_ = nullptr;
    QLabel* label1ErrorMsg_ = nullptr;
    QLabel* label2_ = nullptr;
    QProgressBar* progressBar1_ = nullptr;
    PictureWidget* images_[7] = {};      // Image2 .. Image8
    QPushButton* buttons_[6] = {};       // Button1 .. Button6
    QGroupBox* groupBoxes_[4] = {};      // GroupBox1 .. GroupBox4
    QLineEdit* edit1_ = nullptr;

    std::vector<Binding> bindings_;
    std::vector<PaneBinding> panes_;

    // Window state last applied.
    std::optional<std::string> caption_;
    std::optional<QSize> clientSize_;
    std::optional<bool> systemMenu_;
    std::optional<int> progress_;
    std::optional<Panel> panel_;
    std::optional<std::uint32_t> label1Background_;
    bool placed_ = false;
};

} // namespace qv::qt
