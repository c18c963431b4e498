// The app tests drive real widgets, which need a QApplication; without a
// display they draw on Qt's offscreen platform. The player's remembered
// settings go to a folder of the test's own, and no session bus is there.
#include <gtest/gtest.h>

#include <QApplication>
#include <QString>
#include <QTemporaryDir>

namespace {

QtMessageHandler qtDefaultHandler = nullptr;

// The offscreen platform cannot grab the mouse for a window and says so at
// every grab; the widget's own grab, which the tests check, still works.
void QuietAboutGrabs(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type == QtWarningMsg &&
      text == QLatin1String("This plugin does not support grabbing the mouse"))
    return;
  qtDefaultHandler(type, context, text);
}

}  // namespace

int main(int argc, char* argv[]) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  qtDefaultHandler = qInstallMessageHandler(QuietAboutGrabs);
  const QTemporaryDir home;
  qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toLocal8Bit());
  qputenv("DBUS_SESSION_BUS_ADDRESS",
          "unix:path=" + home.filePath(QStringLiteral("no-bus")).toLocal8Bit());
  testing::InitGoogleTest(&argc, argv);
  QApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
