// The Qt view against hand-set window models: what it draws where, and what
// it forwards of the operator's input.
#include <QCloseEvent>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include "core/support/created_window.h"
#include "support/on_screen.h"
#include "ui/qt/main_window_view.h"
#include "ui/qt/model_to_qt.h"
#include "ui/qt/picture_widget.h"
#include "ui/qt/qt_file_dialog.h"

using namespace qv;
using namespace qv::qt;
using qv::testing::createdWindow;
using qv::testing::onScreen;

namespace {

// Everything the view forwarded, in order.
struct InputLog {
    QStringList events;
    ViewInput input() {
        return ViewInput{
            [this](int key) { events << QStringLiteral("down %1").arg(key); },
            [this](int key) { events << QStringLiteral("up %1").arg(key); },
            [this] { events << QStringLiteral("update"); },
            [this] { events << QStringLiteral("close button"); },
            [this] { events << QStringLiteral("close box"); },
        };
    }
};

QColor textColour(const QWidget* widget) { return widget->palette().color(QPalette::Active, QPalette::Text); }
QColor backgroundColour(const QWidget* widget) { return widget->palette().color(QPalette::Window); }

} // namespace

class WindowViewTest : public QObject {
    Q_OBJECT

private slots:
    void createdWindowIsFixedWhiteAndCentredWithoutCloseBox() {
        WindowModel model = createdWindow();
        InputLog log;
        MainWindowView view(model, log.input());
        view.render();

        QCOMPARE(view.windowTitle(), QStringLiteral("QuorvexUpdate v2.7.6.1"));
        QVERIFY(view.isVisible());
        QCOMPARE(view.size(), QSize(520, 225));  // the 250-pixel window's client area
        QCOMPARE(view.minimumSize(), view.maximumSize());
        QVERIFY(!(view.windowFlags() & Qt::WindowCloseButtonHint));
        QVERIFY(!(view.windowFlags() & Qt::WindowSystemMenuHint));
        QCOMPARE(backgroundColour(&view), QColor(Qt::white));

        QCOMPARE(view.memo1()->toPlainText(), QStringLiteral("Initialization ..."));
        QVERIFY(view.memo1()->isReadOnly());
        QVERIFY(view.memo1()->font().bold());
        QCOMPARE(view.memo1()->geometry(), QRect(192, 32, 321, 153));
        QVERIFY(!view.memo2()->isVisibleTo(&view));
        QVERIFY(onScreen(view.image(2), &view));
        QCOMPARE(view.image(2)->geometry(), QRect(8, 32, 166, 111));
        QCOMPARE(view.progressBar1()->geometry(), QRect(8, 192, 505, 25));
        QVERIFY(view.progressBar1()->geometry().bottom() < view.height());

        // The right-hand area and the step-by-step controls are out of sight.
        for (int n : {5, 6}) {
            QVERIFY2(!onScreen(view.button(n), &view), qPrintable(QString::number(n)));
        }
        QVERIFY(!onScreen(view.image(5), &view));
        for (int n = 1; n <= 4; ++n) {
            QVERIFY(view.groupBox(n) != nullptr);
            QVERIFY2(!onScreen(view.groupBox(n), &view), qPrintable(QString::number(n)));
        }
        QCOMPARE(view.groupBox(1)->title(), QStringLiteral("1. Select  firmware to download"));
        QCOMPARE(view.button(2)->text(), QStringLiteral("Enter Flash Mode"));
        QVERIFY(!view.button(2)->isEnabled());

        // Centred on the screen.
        const QRect screen = view.screen()->availableGeometry();
        const QPoint centre = view.geometry().center();
        QVERIFY(qAbs(centre.x() - screen.center().x()) <= kFrameWidth);
        QVERIFY(qAbs(centre.y() - screen.center().y()) <= kFrameHeight);
    }

    void diagnosticPaneTakesTheStepIndicatorsPlace() {
        WindowModel model = createdWindow();
        model.image2.visible = false;
        model.memo2.visible = true;
        model.memo2.append("Mode: 1");
        MainWindowView view(model, {});
        view.render();
        QVERIFY(onScreen(view.memo2(), &view));
        QCOMPARE(view.memo2()->geometry(), QRect(8, 32, 177, 145));
        QCOMPARE(view.memo2()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(backgroundColour(view.memo2()), QColor(0xF0, 0xF0, 0xF0));
        QVERIFY(!view.memo2()->font().bold());
        QCOMPARE(view.memo2()->toPlainText(), QStringLiteral("Mode: 1"));
        QVERIFY(!onScreen(view.image(2), &view));
    }

    void widenedWindowUncoversUpdateCloseAndTheGesture() {
        WindowModel model = createdWindow();
        MainWindowView view(model, {});
        view.render();
        model.width = 840;
        model.button5.enabled = true;
        model.button6.enabled = true;
        view.render();

        QCOMPARE(view.width(), 824);
        QCOMPARE(view.minimumSize(), view.maximumSize());
        for (int n : {5, 6}) {
            QVERIFY2(onScreen(view.button(n), &view), qPrintable(QString::number(n)));
            QVERIFY(view.button(n)->isEnabled());
            QVERIFY(view.rect().contains(view.button(n)->geometry()));
        }
        QCOMPARE(view.button(5)->text(), QStringLiteral("Update"));
        QCOMPARE(view.button(5)->geometry(), QRect(698, 75, 57, 33));
        QVERIFY(view.button(5)->font().bold());
        QCOMPARE(view.button(5)->palette().color(QPalette::Active, QPalette::ButtonText), QColor(0, 0, 0x80));
        QCOMPARE(view.button(6)->text(), QStringLiteral("Close"));
        QCOMPARE(view.button(6)->geometry(), QRect(736, 188, 81, 25));
        QVERIFY(onScreen(view.image(5), &view));
        QCOMPARE(view.image(5)->geometry(), QRect(528, 32, 297, 145));
        // The warnings wait below the window until the run starts.
        QVERIFY(!onScreen(view.image(6), &view));
        model.image6.bounds = {520, 32, 305, 145};
        view.render();
        QVERIFY(onScreen(view.image(6), &view));
    }

    void messagePaneFontsAndColours_data() {
        QTest::addColumn<int>("points");
        QTest::addColumn<uint>("modelColour");
        QTest::addColumn<int>("pixels");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("routine") << 8 << uint(colour::kWindowText) << 11 << QColor(0, 0, 0);
        QTest::newRow("programming success") << 16 << uint(colour::kGreen) << 21 << QColor(0, 0x80, 0);
        QTest::newRow("checksum error") << 18 << uint(colour::kRed) << 24 << QColor(0xFF, 0, 0);
        QTest::newRow("device not found") << 25 << uint(colour::kRed) << 33 << QColor(0xFF, 0, 0);
    }

    void messagePaneFontsAndColours() {
        QFETCH(int, points);
        QFETCH(uint, modelColour);
        QFETCH(int, pixels);
        QFETCH(QColor, colour);
        WindowModel model = createdWindow();
        MainWindowView view(model, {});
        view.render();
        model.memo1.clear();
        model.memo1.append("Success");
        model.memo1.fontSize = points;
        model.memo1.fontColour = modelColour;
        view.render();
        QCOMPARE(view.memo1()->font().pixelSize(), pixels);
        QVERIFY(view.memo1()->font().bold());
        QCOMPARE(textColour(view.memo1()), colour);
        QCOMPARE(view.memo1()->toPlainText(), QStringLiteral("Success"));
    }

    void panesFollowAppendsAndClears() {
        WindowModel model = createdWindow();
        MainWindowView view(model, {});
        view.render();
        model.memo1.append("Found Device!");
        view.render();
        QCOMPARE(view.memo1()->toPlainText(), QStringLiteral("Initialization ...\nFound Device!"));

        // A clear followed by as many appends leaves the line count as it
        // was: the view must still notice the new text.
        model.memo1.clear();
        model.memo1.append("Enter Flash Mode.");
        model.memo1.append("Waiting");
        view.render();
        QCOMPARE(view.memo1()->toPlainText(), QStringLiteral("Enter Flash Mode.\nWaiting"));

        // A line keeps its own line feed for the logs; it is not drawn as
        // an extra blank line.
        model.memo1.clear();
        model.memo1.append("Elapsed 12 s\n");
        model.memo1.append("Success");
        view.render();
        QCOMPARE(view.memo1()->toPlainText(), QStringLiteral("Elapsed 12 s\nSuccess"));
    }

    void labelsShowTheirTexts() {
        WindowModel model = createdWindow();
        model.label2.caption = "Current firmware version: 1.2.3";
        MainWindowView view(model, {});
        view.render();
        QCOMPARE(view.label2()->text(), QStringLiteral("Current firmware version: 1.2.3"));
        QCOMPARE(view.label2()->pos(), QPoint(192, 8));
        QCOMPARE(view.label2()->font().pixelSize(), 13);
        QCOMPARE(view.label1()->text(), QStringLiteral("Please shutdown Tablet PC then retry "));
        QCOMPARE(view.label1ErrorMsg()->text(),
                 QStringLiteral("Please click  \"Close\" button , and re-Open this Tool , retry it.  Thnaks"));
        QCOMPARE(view.label1()->font().pixelSize(), 27);
        QCOMPARE(view.label1()->palette().color(QPalette::Active, QPalette::WindowText), QColor(0xFF, 0, 0));
        model.label1.caption = "Detach and attach Tablet PC then retry";
        view.render();
        QCOMPARE(view.label1()->text(), QStringLiteral("Detach and attach Tablet PC then retry"));
        QVERIFY(view.label1()->width() >= view.label1()->sizeHint().width());
    }

    void errorPanelShowsTheBlinkColours_data() {
        QTest::addColumn<uint>("panelColour");
        QTest::addColumn<uint>("labelColour");
        QTest::addColumn<QColor>("panel");
        QTest::addColumn<QColor>("label");
        QTest::newRow("sky blue, lime") << uint(colour::kSkyBlue) << uint(colour::kLime) << QColor(0xA6, 0xCA, 0xF0)
                                        << QColor(0, 0xFF, 0);
        QTest::newRow("cream, green") << uint(colour::kCream) << uint(colour::kGreen) << QColor(0xFF, 0xFB, 0xF0)
                                      << QColor(0, 0x80, 0);
    }

    void errorPanelShowsTheBlinkColours() {
        QFETCH(uint, panelColour);
        QFETCH(uint, labelColour);
        QFETCH(QColor, panel);
        QFETCH(QColor, label);
        WindowModel model = createdWindow();
        MainWindowView view(model, {});
        view.render();
        QVERIFY(!onScreen(view.panel1(), &view));
        model.panel1.visible = true;
        model.panel1.colour = panelColour;
        model.label1Background = labelColour;
        model.image8.visible = true;
        view.render();
        QVERIFY(onScreen(view.panel1(), &view));
        QCOMPARE(view.panel1()->geometry(), QRect(8, 96, 505, 81));
        QCOMPARE(backgroundColour(view.panel1()), panel);
        QCOMPARE(backgroundColour(view.label1()), label);
        QVERIFY(view.label1()->autoFillBackground());
        QCOMPARE(view.label1()->pos(), QPoint(10, 15));
        QCOMPARE(view.label1ErrorMsg()->pos(), QPoint(40, 56));
        QCOMPARE(view.image(8)->geometry(), QRect(528, 24, 305, 153));
        // The panel lies above the step indicator it overlaps.
        QVERIFY(view.childAt(20, 120) == view.panel1() || view.panel1()->isAncestorOf(view.childAt(20, 120)));
    }

    void picturesComeFromTheProgramsResources() {
        WindowModel model = createdWindow();
        MainWindowView view(model, {});
        view.render();
        const Control* controls[] = {&model.image2, &model.image3, &model.image4, &model.image5,
                                     &model.image6, &model.image7, &model.image8};
        for (int n = 2; n <= 8; ++n) {
            PictureWidget* picture = view.image(n);
            QVERIFY2(picture->hasPicture(), qPrintable(picture->resourcePath()));
            const Bounds& b = controls[n - 2]->bounds;
            QCOMPARE(picture->geometry(), QRect(b.left, b.top, b.width, b.height));
            // Each drawing is made for its control: it fills it without scaling.
            QVERIFY2(picture->sizeHint().width() <= b.width && picture->sizeHint().height() <= b.height,
                     qPrintable(picture->resourcePath()));
        }
        // The step indicator actually draws something.
        const QImage drawn = view.image(2)->grab().toImage();
        QCOMPARE(drawn.pixelColor(11, 21), QColor(0x1F, 0x5F, 0xAF));  // the first step's highlighted circle
    }

    void progressBarFollowsTheModel() {
        WindowModel model = createdWindow();
        MainWindowView view(model, {});
        for (int value : {0, 37, 100}) {
            model.progress = value;
            view.render();
            QCOMPARE(view.progressBar1()->value(), value);
        }
        model.progress = 250;
        view.render();
        QCOMPARE(view.progressBar1()->value(), 100);
        QVERIFY(!view.progressBar1()->isTextVisible());
    }

    void controlKeyReachesTheWindowWhereverTheFocusIs() {
        WindowModel model = createdWindow();
        model.width = 840;
        model.button5.enabled = true;
        InputLog log;
        MainWindowView view(model, log.input());
        view.render();
        for (QWidget* focused : {static_cast<QWidget*>(view.memo1()), static_cast<QWidget*>(view.button(5)),
                                 static_cast<QWidget*>(&view)}) {
            log.events.clear();
            QTest::keyPress(focused, Qt::Key_Control, Qt::ControlModifier);
            QTest::keyPress(focused, Qt::Key_A, Qt::ControlModifier);
            QTest::keyRelease(focused, Qt::Key_Control);
            QVERIFY2(!log.events.isEmpty(), qPrintable(focused->objectName()));
            QCOMPARE(log.events.first(), QStringLiteral("down 17"));
            QCOMPARE(log.events.last(), QStringLiteral("up 17"));
            QVERIFY(log.events.filter(QStringLiteral("up")).size() >= 1);
            for (const QString& event : log.events) {
                QVERIFY2(event == QStringLiteral("down 17") || event == QStringLiteral("up 17"),
                         qPrintable(event));
            }
        }
        // Keys of other windows are none of this window's business.
        QWidget other;
        log.events.clear();
        QTest::keyPress(&other, Qt::Key_Control);
        QVERIFY(log.events.isEmpty());
    }

    void leavingTheWindowCountsAsReleasingControl() {
        WindowModel model = createdWindow();
        InputLog log;
        MainWindowView view(model, log.input());
        view.render();
        QEvent deactivate(QEvent::WindowDeactivate);
        QApplication::sendEvent(&view, &deactivate);
        QCOMPARE(log.events, QStringList{QStringLiteral("up 17")});
    }

    void buttonsForwardClicksOnlyWhenEnabled() {
        WindowModel model = createdWindow();
        model.width = 840;
        InputLog log;
        MainWindowView view(model, log.input());
        view.render();
        QTest::mouseClick(view.button(5), Qt::LeftButton);
        QTest::mouseClick(view.button(6), Qt::LeftButton);
        QVERIFY(log.events.isEmpty());

        model.button5.enabled = true;
        model.button6.enabled = true;
        view.render();
        QTest::mouseClick(view.button(5), Qt::LeftButton, Qt::ControlModifier);
        QTest::mouseClick(view.button(6), Qt::LeftButton);
        QCOMPARE(log.events, (QStringList{QStringLiteral("update"), QStringLiteral("close button")}));
    }

    void closeBoxOnlyWithTheSystemMenu() {
        WindowModel model = createdWindow();
        InputLog log;
        MainWindowView view(model, log.input());
        view.render();
        QVERIFY(!view.close());  // no system menu: the request is ignored
        QVERIFY(log.events.isEmpty());
        QVERIFY(view.isVisible());

        model.borderIcons.systemMenu = true;
        view.render();
        QVERIFY(view.isVisible());  // changing the title bar keeps it on screen
        QVERIFY(view.windowFlags() & Qt::WindowCloseButtonHint);
        view.close();
        QCOMPARE(log.events, QStringList{QStringLiteral("close box")});
        QVERIFY(view.isVisible());  // the close sequence, not the view, decides

        model.closed = true;
        view.render();
        QVERIFY(!view.isVisible());
        view.close();
        QCOMPARE(log.events.size(), 1);  // a closed window does not close again
    }

    void silentWindowIsNeverShown() {
        WindowModel model = createdWindow();
        model.visible = false;
        MainWindowView view(model, {});
        view.render();
        QVERIFY(!view.isVisible());
    }

    void fileFilterInQtsForm_data() {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QString>("expected");
        QTest::newRow("update files") << "[*.bin]|*.bin|*.*|*.*" << "[*.bin] (*.bin);;*.* (*)";
        QTest::newRow("several patterns") << "Images|*.bin;*.hex" << "Images (*.bin *.hex)";
        QTest::newRow("no description") << "|*.bin" << "*.bin (*.bin)";
        QTest::newRow("dangling description") << "[*.bin]|*.bin|Other" << "[*.bin] (*.bin)";
        QTest::newRow("empty") << "" << "";
    }

    void fileFilterInQtsForm() {
        QFETCH(QString, filter);
        QFETCH(QString, expected);
        QCOMPARE(toQtFileFilter(filter.toStdString()), expected);
    }

    void textsAreUtf8OrOneCharacterPerByte() {
        QCOMPARE(toQString("Gr\xC3\xBC\xC3\x9F" "e.bin"), QString::fromUtf8("Grüße.bin"));
        QCOMPARE(toQString("Gr\xFC\xDF" "e.bin"), QString::fromUtf8("Grüße.bin"));
        QCOMPARE(toQString(""), QString());
    }
};

QTEST_MAIN(WindowViewTest)
#include "window_view_test.moc"
