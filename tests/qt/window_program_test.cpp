// The window with the updater behind it: the view connected to the window
// logic as in the program, on the simulated hub and virtual time.
#include <algorithm>

#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include "platform/keep_awake.h"
#include "support/windowed_session.h"
#include "ui/qt/model_to_qt.h"
#include "ui/qt/picture_widget.h"

using namespace qv;
using namespace qv::qt;
using qv::testing::WindowedSession;
using qv::testing::imageWithVersion;
using qv::testing::onScreen;

namespace {

QColor background(const QWidget* widget) { return widget->palette().color(QPalette::Window); }

} // namespace

class WindowProgramTest : public QObject {
    Q_OBJECT

private slots:
    void creation_data() {
        QTest::addColumn<QString>("ini");
        QTest::addColumn<bool>("diagnostics");
        QTest::newRow("step indicator") << "" << false;
        QTest::newRow("diagnostic pane") << "[MESSAGE]\nENABLE=1\n" << true;
    }

    void creation() {
        QFETCH(QString, ini);
        QFETCH(bool, diagnostics);
        WindowedSession w;
        w.writeIni(ini.toStdString());
        w.create();
        QCOMPARE(w.view.windowTitle(), QStringLiteral("QuorvexUpdate v2.7.6.1"));
        QCOMPARE(w.model().height, 250);
        QCOMPARE(w.view.height(), 250 - kFrameHeight);
        QVERIFY(w.view.isVisible());
        QVERIFY(!(w.view.windowFlags() & Qt::WindowCloseButtonHint));
        QCOMPARE(w.view.memo1()->toPlainText(), QStringLiteral("Initialization ..."));
        QCOMPARE(onScreen(w.view.memo2(), &w.view), diagnostics);
        QCOMPARE(onScreen(w.view.image(2), &w.view), !diagnostics);
        QVERIFY(w.sim.keepAwake.active);
    }

    void updateButtonModeWidensTheWindowWithTheInstructions() {
        WindowedSession w;
        w.startInUpdateButtonMode();
        QCOMPARE(w.view.width(), 840 - kFrameWidth);
        const QString text = w.view.memo1()->toPlainText();
        QVERIFY2(text.startsWith(QStringLiteral("Instructions:")), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral(
                     "Press and hold CTRL key on the keyboard and tap Update button on the screen.")),
                 qPrintable(text));
        QCOMPARE(w.view.label2()->text(), QStringLiteral("Current firmware version: ABC1.0"));
        for (QWidget* widget : {static_cast<QWidget*>(w.view.button(5)), static_cast<QWidget*>(w.view.button(6)),
                                static_cast<QWidget*>(w.view.image(5))}) {
            QVERIFY2(onScreen(widget, &w.view), qPrintable(widget->objectName()));
            QVERIFY2(widget->isEnabled(), qPrintable(widget->objectName()));
        }
        QVERIFY(!w.session().Timer1.enabled());
    }

    void updateCountsOnlyWithControlHeld() {
        WindowedSession w;
        w.startInUpdateButtonMode();
        QPushButton* update = w.view.button(5);

        // A plain tap, and a tap after CTRL was already released: nothing.
        QTest::mouseClick(update, Qt::LeftButton);
        QTest::keyPress(w.view.memo1(), Qt::Key_Control, Qt::ControlModifier);
        QTest::keyRelease(w.view.memo1(), Qt::Key_Control);
        QTest::mouseClick(update, Qt::LeftButton);
        w.run(100);
        QVERIFY(!w.session().Timer1.enabled());
        QVERIFY(onScreen(update, &w.view));
        QVERIFY(onScreen(w.view.image(5), &w.view));

        // CTRL held (the focus on another control), tap, release: the run
        // starts once and the button goes away.
        QTest::keyPress(w.view.memo1(), Qt::Key_Control, Qt::ControlModifier);
        QTest::mouseClick(update, Qt::LeftButton, Qt::ControlModifier);
        QTest::mouseClick(update, Qt::LeftButton, Qt::ControlModifier);
        QTest::keyRelease(w.view.memo1(), Qt::Key_Control);
        QVERIFY(w.session().Timer1.enabled());
        QVERIFY(!update->isVisible());
        QVERIFY(!w.view.button(6)->isEnabled());
        QVERIFY(!onScreen(w.view.image(5), &w.view));
        QCOMPARE(w.view.memo1()->toPlainText(), QString());
        QCOMPARE(w.view.label2()->text(), QString());
    }

    void warningsAlternateAfterTheTap() {
        WindowedSession w;
        w.startInUpdateButtonMode();
        w.tapUpdateWithControl();
        QCOMPARE(w.view.image(6)->geometry(), QRect(520, 32, 305, 145));
        QCOMPARE(w.view.image(7)->geometry(), QRect(520, 32, 305, 145));

        bool redShown = false;
        for (int tick = 0; tick < 2; ++tick) {
            w.run(500);
            const bool blue = onScreen(w.view.image(6), &w.view);
            const bool red = onScreen(w.view.image(7), &w.view);
            QVERIFY2(blue != red, qPrintable(QStringLiteral("tick %1").arg(tick)));
            if (tick > 0) {
                QCOMPARE(red, !redShown);
            }
            redShown = red;
        }
    }

    void failedUpdateBlinksTheErrorPanel() {
        WindowedSession w;
        auto& device = w.sim.hub.addDevice();
        device.faults().wrongSumOnPage = 3;  // the third page is written wrong
        w.addFile("fw.bin", imageWithVersion("NEW1.0", 7));
        w.create();
        w.runUntil([&] { return w.session().Timer2.enabled(); });
        QVERIFY(w.session().Timer2.enabled());
        w.run(500);
        QVERIFY(onScreen(w.view.panel1(), &w.view));
        QVERIFY(onScreen(w.view.label1(), &w.view));
        QVERIFY(w.view.image(8)->isVisibleTo(&w.view));
        const QColor panelBefore = background(w.view.panel1());
        const QColor labelBefore = background(w.view.label1());
        w.run(500);
        const QColor panelAfter = background(w.view.panel1());
        const QColor labelAfter = background(w.view.label1());
        const QList<QColor> panelColours{QColor(0xA6, 0xCA, 0xF0), QColor(0xFF, 0xFB, 0xF0)};
        const QList<QColor> labelColours{QColor(0, 0xFF, 0), QColor(0, 0x80, 0)};
        QVERIFY(panelColours.contains(panelBefore) && panelColours.contains(panelAfter));
        QVERIFY(panelBefore != panelAfter);
        QVERIFY(labelColours.contains(labelBefore) && labelColours.contains(labelAfter));
        QVERIFY(labelBefore != labelAfter);
        QCOMPARE(w.view.memo1()->toPlainText(), QStringLiteral("Failure"));
        QVERIFY(w.view.windowFlags() & Qt::WindowCloseButtonHint);
    }

    void outcomesInTheMessagePane_data() {
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<int>("pixels");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("success") << "success" << 21 << QColor(0, 0x80, 0);
        QTest::newRow("programming failure") << "failure" << 21 << QColor(0xFF, 0, 0);
        QTest::newRow("checksum error") << "checksum" << 24 << QColor(0xFF, 0, 0);
        QTest::newRow("no device") << "no device" << 33 << QColor(0xFF, 0, 0);
    }

    void outcomesInTheMessagePane() {
        QFETCH(QString, outcome);
        QFETCH(int, pixels);
        QFETCH(QColor, colour);
        WindowedSession w;
        w.writeIni("[CLOSEAPP]\nPASS=0\nFAIL=0\n");
        auto image = imageWithVersion("NEW1.0", 7);
        if (outcome == QLatin1String("checksum")) {
            image[0x4000] ^= 0x5A;
        }
        w.addFile("fw.bin", image);
        if (outcome != QLatin1String("no device")) {
            auto& device = w.sim.hub.addDevice();
            if (outcome == QLatin1String("failure")) {
                device.faults().wrongSumOnPage = 3;  // the third page is written wrong
            }
        }
        w.create();
        w.runUntil([&] { return w.view.windowFlags().testFlag(Qt::WindowCloseButtonHint); });
        QVERIFY2(w.view.windowFlags() & Qt::WindowCloseButtonHint, "no outcome");
        QCOMPARE(w.view.memo1()->font().pixelSize(), pixels);
        QVERIFY(w.view.memo1()->font().bold());
        QCOMPARE(w.view.memo1()->palette().color(QPalette::Active, QPalette::Text), colour);
        QVERIFY(!w.view.memo1()->toPlainText().isEmpty());
    }

    void progressBarFollowsTheUpdateAndTheStepsAdvance() {
        WindowedSession w;
        w.writeIni("[CLOSEAPP]\nPASS=0\n");
        w.sim.hub.addDevice();
        w.addFile("fw.bin", imageWithVersion("NEW1.0", 7));
        w.create();
        bool sawUpdatingStep = false;
        w.onRender = [&] { sawUpdatingStep = sawUpdatingStep || onScreen(w.view.image(3), &w.view); };
        w.runUntil([&] { return w.view.windowFlags().testFlag(Qt::WindowCloseButtonHint); });
        QCOMPARE(w.session().ResultCode, std::uint8_t{0});

        const auto& seen = w.progressSeen;
        const auto between = std::count_if(seen.begin(), seen.end(), [](int v) { return v > 0 && v < 100; });
        QVERIFY2(between >= 20, qPrintable(QString::number(between)));
        QVERIFY(std::find(seen.begin(), seen.end(), 100) != seen.end());
        // The bar climbs while a pass runs: a drop only where the read-back
        // starts again from the beginning.
        int drops = 0;
        for (std::size_t i = 1; i < seen.size(); ++i) {
            drops += seen[i] < seen[i - 1] ? 1 : 0;
        }
        QVERIFY2(drops <= 2, qPrintable(QString::number(drops)));

        QVERIFY(sawUpdatingStep);
        QVERIFY(onScreen(w.view.image(4), &w.view));
        QVERIFY(!onScreen(w.view.image(3), &w.view));
        QCOMPARE(w.view.memo1()->palette().color(QPalette::Active, QPalette::Text), QColor(0, 0x80, 0));
    }

    void closeBoxRunsTheCloseSequenceOnceItIsBack() {
        WindowedSession w;
        w.writeIni("[CLOSEAPP]\nPASS=0\n");
        w.sim.hub.addDevice();
        w.addFile("fw.bin", imageWithVersion("NEW1.0", 7));
        w.create();
        w.run(100);
        w.view.close();  // no close box yet: ignored
        QVERIFY(!w.model().closed);
        QVERIFY(w.view.isVisible());

        w.runUntil([&] { return w.view.windowFlags().testFlag(Qt::WindowCloseButtonHint); });
        w.view.close();
        QVERIFY(w.model().closed);
        QVERIFY(!w.view.isVisible());
        QVERIFY(!w.sim.keepAwake.active);
    }
};

QTEST_MAIN(WindowProgramTest)
#include "window_program_test.moc"
