// The start-up reference: a bare Qt widgets program that shows one window with a line of text
// (so it connects to the display, loads its fonts and maps a window, as every desktop program
// does), then writes one small file, as Hollin writes its first record, and ends.
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QTimer>

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QLabel window(QStringLiteral("Hello"));
  window.show();
  QTimer::singleShot(0, [&] {
    QFile file(qEnvironmentVariable("BARE_QT_RECORD"));
    if (file.open(QIODevice::WriteOnly)) file.write("{}\n");
    file.close();
    application.quit();
  });
  return application.exec();
}
