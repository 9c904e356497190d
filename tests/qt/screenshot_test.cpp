// Renders the window in its main states to PNG files under the build folder
// (screenshots/), for a person to look at.
#include <QDir>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTest>

#include "ui/qt/main_window_view.h"

using namespace qv;
using namespace qv::qt;

namespace {

QString screenshotFolder() { return QStringLiteral(QV_BINARY_DIR "/screenshots"); }

void save(MainWindowView& view, const QString& name) {
    view.render();
    QCoreApplication::processEvents();
    QDir().mkpath(screenshotFolder());
    const QString path = screenshotFolder() + QLatin1Char('/') + name + QStringLiteral(".png");
    const QImage image = view.grab().toImage();
    QVERIFY2(!image.isNull() && image.save(path), qPrintable(path));
}

WindowModel createdWindow() {
    WindowModel model;
    model.caption = "QuorvexUpdate v2.7.6.1";
    model.height = 250;
    model.borderIcons.systemMenu = false;
    model.groupBox1.visible = false;
    model.groupBox2.visible = false;
    model.groupBox3.visible = false;
    model.image2.visible = true;
    return model;
}

} // namespace

class ScreenshotTest : public QObject {
    Q_OBJECT

private slots:
    void mainStates() {
        WindowModel model = createdWindow();
        MainWindowView view(model, {});
        save(view, QStringLiteral("1-start-up"));
    }
};

QTEST_MAIN(ScreenshotTest)
#include "screenshot_test.moc"
