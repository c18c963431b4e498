// The app tests drive real widgets, which need a QApplication; without a
// display they draw on Qt's offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QString>

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
  testing::InitGoogleTest(&argc, argv);
  QApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
