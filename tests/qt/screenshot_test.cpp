// Renders the window in its main states, reached by the updater itself on
// the simulated hub, to PNG files under the build folder (screenshots/) for
// a person to look at: start-up, update-button mode, programming with
// progress, success, failure with the error panel.
#include <QDir>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTest>

#include "support/windowed_session.h"
#include "ui/qt/picture_widget.h"

using namespace qv;
using qv::testing::WindowedSession;
using qv::testing::imageWithVersion;
using qv::testing::onScreen;

namespace {

QString screenshotFolder() { return QStringLiteral(QV_BINARY_DIR "/screenshots"); }

void save(WindowedSession& w, const QString& name) {
    w.view.render();
    QDir().mkpath(screenshotFolder());
    const QString path = screenshotFolder() + QLatin1Char('/') + name + QStringLiteral(".png");
    const QImage image = w.view.grab().toImage();
    QVERIFY2(!image.isNull() && image.save(path), qPrintable(path));
}

} // namespace

class ScreenshotTest : public QObject {
    Q_OBJECT

private slots:
    void updateButtonModeFromStartToSuccess() {
        WindowedSession w;
        w.writeIni("[OPTION]\nTALVIK_UPDATEBUTTON=1\n[CHECKVERSION]\nPROJECTNAME1=ABC\n[CLOSEAPP]\nPASS=0\n");
        WindowedSession::setDeviceVersion(w.sim.hub.addDevice(), "ABC1.0");
        w.addFile("fw.bin", imageWithVersion("ABC2.0"));
        w.create();
        save(w, QStringLiteral("1-start-up"));

        w.run(300);
        QVERIFY(onScreen(w.view.button(5), &w.view));
        save(w, QStringLiteral("2-update-button-mode"));

        // Half-way through writing the flash, from inside the flow.
        bool saved = false;
        w.onRender = [&] {
            const int progress = w.view.progressBar1()->value();
            if (!saved && progress >= 45 && progress <= 60 && onScreen(w.view.image(3), &w.view)) {
                save(w, QStringLiteral("3-programming"));
                saved = true;
            }
        };
        w.tapUpdateWithControl();
        w.runUntil([&] { return w.view.windowFlags().testFlag(Qt::WindowCloseButtonHint); });
        QVERIFY(saved);
        QCOMPARE(w.session().ResultCode, std::uint8_t{0});
        save(w, QStringLiteral("4-success"));
    }

    void failureWithTheErrorPanel() {
        WindowedSession w;
        w.writeIni("[CLOSEAPP]\nFAIL=0\n");
        w.sim.hub.addDevice().faults().wrongSumOnPage = 3;  // the third page is written wrong
        w.addFile("fw.bin", imageWithVersion("ABC2.0"));
        w.create();
        w.runUntil([&] { return w.session().Timer2.enabled(); });
        w.run(500);
        QVERIFY(onScreen(w.view.panel1(), &w.view));
        save(w, QStringLiteral("5-failure"));
    }
};

QTEST_MAIN(ScreenshotTest)
#include "screenshot_test.moc"
