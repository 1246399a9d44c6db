// How much the display widgets cost where the console uses them often: a read-out whose caption
// changes with every answer (font refitted each time), a resize of a scalable label, the blink
// clock's tick over many lamps, and painting one picture of each list.
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <cstdio>

#include "widgets/AutoScaleControl.h"
#include "widgets/ConsoleFont.h"
#include "widgets/ConsoleImages.h"
#include "widgets/GraphicsEx.h"

namespace {

template <class F>
double microsecondsPer(int rounds, F&& step) {
  QElapsedTimer clock;
  clock.start();
  for (int i = 0; i < rounds; ++i) step(i);
  return clock.nsecsElapsed() / 1000.0 / rounds;
}

}  // namespace

int main(int argc, char** argv) {
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QWidget window;
  window.resize(400, 300);

  TLabelPair readOut(&window);
  readOut.setFont(qv::consoleFont("Verdana", 10));
  readOut.setGeometry(61, 40, 55, 18);
  TScalableLabel label(&window);
  label.setGeometry(10, 80, 60, 18);
  label.setCaption("External");
  window.show();
  app.processEvents();

  const int rounds = 5000;
  const double caption = microsecondsPer(rounds, [&](int i) {
    readOut.setCaption(QString::asprintf("%.2f", 10.0 + (i % 997) / 100.0));
  });
  const double resize =
      microsecondsPer(rounds, [&](int i) { label.resize(60 + (i % 2) * 60, 18 + (i % 2) * 18); });

  QObject owner;
  TImageList* leds = qv::makeLedImages(&owner);
  std::vector<std::unique_ptr<TStatusIndicator>> lamps;
  for (int i = 0; i < 100; ++i) {
    lamps.push_back(std::make_unique<TStatusIndicator>());
    lamps.back()->setImages(leds);
    lamps.back()->blink(0, 2);
  }
  const double tick = microsecondsPer(rounds, [&](int) { BlinkingTimer().tick(); });
  lamps.clear();

  std::printf("read-out caption change with refit: %.1f us\n", caption);
  std::printf("scalable label resize with refit:   %.1f us\n", resize);
  std::printf("blink tick over 100 lamps:          %.1f us\n", tick);

  // The first paint of an entry at a ratio draws it; later ones copy what was drawn.
  QImage canvas(220, 220, QImage::Format_ARGB32_Premultiplied);
  canvas.setDevicePixelRatio(2.0);
  for (const qv::NamedImageList& named : qv::makeAllImageLists(&owner)) {
    const auto paintAll = [&](int) {
      QPainter p(&canvas);
      for (int i = 0; i < named.list->count(); ++i) named.list->draw(p, 0, 0, i);
    };
    const double first = microsecondsPer(1, paintAll) / named.list->count();
    const double later = microsecondsPer(200, paintAll) / named.list->count();
    std::printf("%-20s one entry at 2x: first %8.1f us, later %6.1f us\n", qPrintable(named.name),
                first, later);
  }
  return 0;
}
