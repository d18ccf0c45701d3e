// The window with a big pasted text: how long the paste takes, and how long
// a press of the button takes until the result is on the clipboard. Runs on
// Qt's offscreen platform unless QT_QPA_PLATFORM says otherwise.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QClipboard>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "german_text.hpp"
#include "ui/qt/main_window.hpp"
#include "ui/qt/qt_text.hpp"

namespace {

QString pasted_text(std::size_t megabytes) {
  const std::u16string text = textquirl::bench::german_text(megabytes << 20, u"\n");
  return textquirl::to_qstring(text);
}

void BM_PasteIntoText1(benchmark::State& state) {
  const QString text = pasted_text(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    textquirl::Form1 window;
    window.show();
    auto* box = window.findChild<QPlainTextEdit*>("Text1");
    box->insertPlainText(text);
    QApplication::processEvents();
    benchmark::DoNotOptimize(box->document()->blockCount());
  }
}
BENCHMARK(BM_PasteIntoText1)->Arg(10)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_PressCommand1(benchmark::State& state) {
  textquirl::Form1 window;
  window.show();
  auto* box = window.findChild<QPlainTextEdit*>("Text1");
  box->insertPlainText(pasted_text(static_cast<std::size_t>(state.range(0))));
  QApplication::processEvents();
  auto* button = window.findChild<QPushButton*>("Command1");
  for (auto _ : state) {
    QTest::mouseClick(button, Qt::LeftButton);
    benchmark::DoNotOptimize(QGuiApplication::clipboard()->text().size());
  }
}
BENCHMARK(BM_PressCommand1)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
