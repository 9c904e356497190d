#include "ui/qt/main_window_view.h"

#include <algorithm>

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>

#include "ui/qt/model_to_qt.h"
#include "ui/qt/picture_widget.h"

namespace qv::qt {

namespace {

// Design fonts: the window's MS Sans Serif 8, the 13-pixel labels and the
// 27-pixel Arial headline of the error panel.
constexpr int kWindowFontPoints = 8;
constexpr int kLabelPixels = 13;
constexpr int kHeadlinePixels = 27;

const QColor kNavy(0x00, 0x00, 0x80);

bool sameBounds(const Bounds& a, const Bounds& b) {
    return a.left == b.left && a.top == b.top && a.width == b.width && a.height == b.height;
}

bool sameControl(const Control& a, const Control& b) {
    return sameBounds(a.bounds, b.bounds) && a.visible == b.visible && a.enabled == b.enabled &&
           a.caption == b.caption;
}

void setBackground(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    palette.setColor(QPalette::Base, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

void setForeground(QWidget* widget, QPalette::ColorRole role, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Active, role, colour);
    palette.setColor(QPalette::Inactive, role, colour);
    widget->setPalette(palette);
}

// The caption a control shows, whatever kind of widget draws it.
void setCaption(QWidget* widget, const QString& text) {
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        label->setText(text);
    } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
        button->setText(text);
    } else if (auto* box = qobject_cast<QGroupBox*>(widget)) {
        box->setTitle(text);
    } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
        edit->setText(text);
    }
}

Qt::WindowFlags titleBarFlags(bool systemMenu) {
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::MSWindowsFixedSizeDialogHint;
    if (systemMenu) {
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    }
    return flags;
}

} // namespace

// Sees every key event of the application before the focused control does,
// so that CTRL reaches the window logic wherever the focus is.
class MainWindowView::KeyPreview : public QObject {
public:
    explicit KeyPreview(MainWindowView& view) : view_(view) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        const auto type = event->type();
        if (type != QEvent::KeyPress && type != QEvent::KeyRelease) {
            return false;
        }
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget == nullptr || widget->window() != &view_) {
            return false;
        }
        if (static_cast<QKeyEvent*>(event)->key() != Qt::Key_Control) {
            return false;
        }
        const auto& handler = type == QEvent::KeyPress ? view_.input_.keyDown : view_.input_.keyUp;
        if (handler) {
            handler(kControlKeyCode);
        }
        return false;  // the focused control still gets the key
    }

private:
    MainWindowView& view_;
};

MainWindowView::MainWindowView(const WindowModel& model, ViewInput input)
    : QWidget(nullptr, titleBarFlags(false)), model_(model), input_(std::move(input)),
      keyPreview_(std::make_unique<KeyPreview>(*this)) {
    setObjectName(QStringLiteral("Form1"));
    setFont(sansSerifFont(pointsToPixels(kWindowFontPoints)));
    setBackground(this, QColor(0xFF, 0xFF, 0xFF));
    buildWidgets();
    qApp->installEventFilter(keyPreview_.get());
}

MainWindowView::~MainWindowView() { qApp->removeEventFilter(keyPreview_.get()); }

void MainWindowView::buildWidgets() {
    auto makePane = [this](const char* name, const TextPane& pane, bool bold, const QColor& background) {
        auto* edit = new QPlainTextEdit(this);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setReadOnly(true);
        edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
        edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setBackground(edit, background);
        panes_.push_back(PaneBinding{&pane, edit, bold});
        return edit;
    };
    memo1_ = makePane("Memo1", model_.memo1, true, QColor(0xFF, 0xFF, 0xFF));
    memo1_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memo2_ = makePane("Memo2", model_.memo2, false, toQColor(colour::kButtonFace));
    memo2_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    label2_ = new QLabel(this);
    label2_->setObjectName(QStringLiteral("Label2"));
    label2_->setFont(sansSerifFont(kLabelPixels));
    bind(model_.label2, label2_);

    progressBar1_ = new QProgressBar(this);
    progressBar1_->setObjectName(QStringLiteral("ProgressBar1"));
    progressBar1_->setRange(0, 100);
    progressBar1_->setTextVisible(false);
    bind(model_.progressBar1, progressBar1_);

    panel1_ = new QFrame(this);
    panel1_->setObjectName(QStringLiteral("Panel1"));
    panel1_->setFrameStyle(QFrame::Panel | QFrame::Raised);
    label1_ = new QLabel(panel1_);
    label1_->setObjectName(QStringLiteral("Label1"));
    label1_->setFont(arialFont(kHeadlinePixels));
    setForeground(label1_, QPalette::WindowText, toQColor(colour::kRed));
    bind(model_.label1, label1_);
    label1ErrorMsg_ = new QLabel(panel1_);
    label1ErrorMsg_->setObjectName(QStringLiteral("Label1_ErrorMsg"));
    label1ErrorMsg_->setFont(sansSerifFont(kLabelPixels));
    bind(model_.label1ErrorMsg, label1ErrorMsg_);

    // Pictures: the step indicator, the gesture, the two warnings and the
    // dock picture of the error panel.
    const struct {
        const Control& control;
        const char* name;
        const char* resource;
    } pictures[] = {
        {model_.image2, "Image2", ":/pictures/step_launch.svg"},
        {model_.image3, "Image3", ":/pictures/step_updating.svg"},
        {model_.image4, "Image4", ":/pictures/step_completed.svg"},
        {model_.image5, "Image5", ":/pictures/ctrl_update.svg"},
        {model_.image6, "Image6", ":/pictures/warning_blue.svg"},
        {model_.image7, "Image7", ":/pictures/warning_red.svg"},
        {model_.image8, "Image8", ":/pictures/detach_attach.svg"},
    };
    for (std::size_t i = 0; i < std::size(pictures); ++i) {
        auto* picture = new PictureWidget(QString::fromLatin1(pictures[i].resource), this);
        picture->setObjectName(QString::fromLatin1(pictures[i].name));
        images_[i] = picture;
        bind(pictures[i].control, picture);
    }

    // The step-by-step controls: they exist, hold their state, and lie
    // outside the window.
    const Control* boxControls[] = {&model_.groupBox1, &model_.groupBox2, &model_.groupBox3, &model_.groupBox4};
    for (int i = 0; i < 4; ++i) {
        groupBoxes_[i] = new QGroupBox(this);
        groupBoxes_[i]->setObjectName(QStringLiteral("GroupBox%1").arg(i + 1));
        bind(*boxControls[i], groupBoxes_[i]);
    }
    edit1_ = new QLineEdit(groupBoxes_[0]);
    edit1_->setObjectName(QStringLiteral("Edit1"));
    edit1_->setReadOnly(true);
    bind(model_.edit1, edit1_, QPoint(16, 24));
    const struct {
        const Control& control;
        QWidget* parent;
        QPoint place;
    } stepButtons[] = {
        {model_.button1, groupBoxes_[0], QPoint(16, 56)},
        {model_.button2, groupBoxes_[1], QPoint(20, 32)},
        {model_.button3, groupBoxes_[2], QPoint(20, 32)},
        {model_.button4, groupBoxes_[3], QPoint(16, 32)},
    };
    for (int i = 0; i < 4; ++i) {
        buttons_[i] = new QPushButton(stepButtons[i].parent);
        buttons_[i]->setObjectName(QStringLiteral("Button%1").arg(i + 1));
        bind(stepButtons[i].control, buttons_[i], stepButtons[i].place);
    }

    // The operator's buttons in the right-hand area.
    buttons_[4] = new QPushButton(this);
    buttons_[4]->setObjectName(QStringLiteral("Button5"));
    QFont updateFont = font();
    updateFont.setBold(true);
    buttons_[4]->setFont(updateFont);
    setForeground(buttons_[4], QPalette::ButtonText, kNavy);
    bind(model_.button5, buttons_[4]);
    buttons_[5] = new QPushButton(this);
    buttons_[5]->setObjectName(QStringLiteral("Button6"));
    bind(model_.button6, buttons_[5]);
    for (QPushButton* button : buttons_) {
        button->setAutoDefault(false);
    }

    connect(buttons_[4], &QPushButton::clicked, this, [this] {
        if (input_.updateClicked) {
            input_.updateClicked();
        }
        render();
    });
    connect(buttons_[5], &QPushButton::clicked, this, [this] {
        if (input_.closeClicked) {
            input_.closeClicked();
        }
        render();
    });

    // Drawing order: the pictures above the panes, the error panel above
    // the step indicator, the buttons on top.
    for (PictureWidget* picture : images_) {
        picture->raise();
    }
    panel1_->raise();
    buttons_[4]->raise();
    buttons_[5]->raise();
}

void MainWindowView::bind(const Control& control, QWidget* widget, std::optional<QPoint> place) {
    bindings_.push_back(Binding{&control, widget, place, std::nullopt});
}

PictureWidget* MainWindowView::image(int number) const {
    return number >= 2 && number <= 8 ? images_[number - 2] : nullptr;
}

QPushButton* MainWindowView::button(int number) const {
    return number >= 1 && number <= 6 ? buttons_[number - 1] : nullptr;
}

QGroupBox* MainWindowView::groupBox(int number) const {
    return number >= 1 && number <= 4 ? groupBoxes_[number - 1] : nullptr;
}

void MainWindowView::render() {
    for (Binding& binding : bindings_) {
        applyControl(binding);
    }
    for (PaneBinding& pane : panes_) {
        renderPane(pane);
    }
    renderPanel();
    const int progress = std::clamp(model_.progress, 0, 100);
    if (progress_ != progress) {
        progressBar1_->setValue(progress);
        progress_ = progress;
    }
    renderWindow();
}

void MainWindowView::applyControl(Binding& binding) {
    const Control& control = *binding.control;
    if (binding.shown && sameControl(*binding.shown, control)) {
        return;
    }
    QWidget* widget = binding.widget;
    if (!binding.shown || binding.shown->caption != control.caption) {
        setCaption(widget, toQString(control.caption));
    }
    const Bounds& b = control.bounds;
    const QPoint place = binding.place.value_or(QPoint(b.left, b.top));
    if (b.width > 0 && b.height > 0) {
        widget->setGeometry(place.x(), place.y(), b.width, b.height);
    } else {
        // Labels size themselves to their text.
        widget->move(place);
        widget->adjustSize();
    }
    widget->setEnabled(control.enabled);
    widget->setHidden(!control.visible);
    binding.shown = control;
}

void MainWindowView::renderPane(PaneBinding& binding) {
    const TextPane& pane = *binding.pane;
    QPlainTextEdit* edit = binding.edit;
    if (!binding.applied || binding.fontSize != pane.fontSize || binding.fontColour != pane.fontColour) {
        edit->setFont(sansSerifFont(pointsToPixels(pane.fontSize), binding.bold));
        setForeground(edit, QPalette::Text, toQColor(pane.fontColour));
        binding.fontSize = pane.fontSize;
        binding.fontColour = pane.fontColour;
    }
    const Bounds& b = pane.bounds;
    if (edit->geometry() != QRect(b.left, b.top, b.width, b.height)) {
        edit->setGeometry(b.left, b.top, b.width, b.height);
    }
    edit->setHidden(!pane.visible);

    if (binding.applied && binding.revision == pane.revision()) {
        return;
    }
    const auto& lines = pane.lines();
    // Each append moves the revision by one; a clear moves it as well but
    // empties the pane, so "as many new revisions as new lines" means the
    // pane only grew and the new lines can simply be added.
    const bool onlyAppended = binding.applied && lines.size() >= binding.lineCount &&
                              pane.revision() - binding.revision == lines.size() - binding.lineCount;
    if (!onlyAppended) {
        edit->clear();
        binding.lineCount = 0;
    }
    for (std::size_t i = binding.lineCount; i < lines.size(); ++i) {
        edit->appendPlainText(toDisplayLine(lines[i]));
    }
    edit->moveCursor(QTextCursor::End);
    edit->ensureCursorVisible();
    binding.lineCount = lines.size();
    binding.revision = pane.revision();
    binding.applied = true;
}

void MainWindowView::renderPanel() {
    const Panel& panel = model_.panel1;
    if (!panel_ || !sameBounds(panel_->bounds, panel.bounds) || panel_->colour != panel.colour) {
        panel1_->setGeometry(panel.bounds.left, panel.bounds.top, panel.bounds.width, panel.bounds.height);
        setBackground(panel1_, toQColor(panel.colour));
    }
    panel1_->setHidden(!panel.visible);
    panel_ = panel;
    if (label1Background_ != model_.label1Background) {
        setBackground(label1_, toQColor(model_.label1Background));
        label1Background_ = model_.label1Background;
    }
}

void MainWindowView::renderWindow() {
    if (caption_ != model_.caption) {
        setWindowTitle(toQString(model_.caption));
        caption_ = model_.caption;
    }
    bool moved = false;
    const QSize client = clientSizeForOuter(model_.width, model_.height);
    if (clientSize_ != client) {
        setFixedSize(client);
        clientSize_ = client;
        moved = true;
    }
    if (systemMenu_ != model_.borderIcons.systemMenu) {
        // Changing the title-bar flags takes the window off the screen; the
        // visibility below puts it back.
        setWindowFlags(titleBarFlags(model_.borderIcons.systemMenu));
        systemMenu_ = model_.borderIcons.systemMenu;
    }
    const bool shown = model_.visible && !model_.closed;
    if (shown && (!placed_ || moved)) {
        placeOnScreen();
    }
    if (shown != isVisible()) {
        setVisible(shown);
    }
}

// Centred on the screen, at start and whenever the size changes.
void MainWindowView::placeOnScreen() {
    QScreen* target = screen() != nullptr ? screen() : QGuiApplication::primaryScreen();
    if (target == nullptr) {
        return;
    }
    const QRect area = target->availableGeometry();
    const QSize outer = size() + QSize(kFrameWidth, kFrameHeight);
    move(area.left() + (area.width() - outer.width()) / 2, area.top() + (area.height() - outer.height()) / 2);
    placed_ = true;
}

void MainWindowView::closeEvent(QCloseEvent* event) {
    // The view never closes itself: the close sequence decides and marks
    // the model closed. Without the system menu there is no close box, and
    // a close request that comes anyway (a window-manager shortcut) is ignored.
    event->ignore();
    if (model_.closed || !model_.borderIcons.systemMenu) {
        return;
    }
    if (input_.closeRequested) {
        input_.closeRequested();
    }
    render();
}

bool MainWindowView::event(QEvent* event) {
    // A CTRL released while another window has the keyboard never reaches
    // this one: leaving the window counts as releasing it, so that a later
    // plain tap on "Update" cannot count as CTRL + "Update".
    if (event->type() == QEvent::WindowDeactivate && input_.keyUp) {
        input_.keyUp(kControlKeyCode);
    }
    return QWidget::event(event);
}

} // namespace qv::qt
