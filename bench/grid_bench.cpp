// The rights grid with ten thousand computers (or as many as the first
// argument says: `grid_bench 100000`): filling it, finding rows, scrolling
// and repainting it, and what it costs in memory.
//
// The bare cost of drawing the same images straight onto an image is
// measured beside the grid's repaint, so that the grid's figures read as a
// ratio to the drawing they cannot avoid.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "app/ImageLists.h"
#include "app/RightsGrid.h"

namespace {

// The computer rows of every figure; the first argument, if it is a number.
int kRows = 10000;

// The resident set of the process in KiB, from /proc/self/status.
long VmRssKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

TCellCode DemoCode(int row, int col) {
  static const TCellCode codes[] = {TCellCode::Of('Y', ' '), TCellCode::Of('N', ' '),
                                    TCellCode::Of('N', 'Y'), TCellCode::Of('Y', 'N'),
                                    TCellCode::Of('Y', ' '), TCellCode::Of('E', ' ')};
  return codes[(row * 7 + col) % 6];
}

std::unique_ptr<TRightsGrid> ShownGrid() {
  auto grid = std::make_unique<TRightsGrid>();
  grid->resize(636, 245);
  for (int col = 1; col < grid->ColCount(); ++col)
    grid->SetCells(col, 0, QString::fromLatin1(PrivilegeLegend[col - 1], 2));
  grid->show();
  QCoreApplication::processEvents();
  return grid;
}

// As the reads fill the grid: append a row, then write its 27 codes one by one.
void Fill(TRightsGrid& grid) {
  for (int i = 0; i < kRows; ++i) {
    const int row = grid.AppendRow(QStringLiteral("COMPUTER%1").arg(i, 5, 10, QLatin1Char('0')));
    for (int col = 1; col < grid.ColCount(); ++col) grid.SetCode(col, row, DemoCode(row, col));
  }
}

void BM_AppendRowsAndSetCodes(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    auto grid = ShownGrid();
    state.ResumeTiming();
    Fill(*grid);
    QCoreApplication::processEvents();  // the view catches up once
    benchmark::DoNotOptimize(grid->RowCount());
    state.PauseTiming();
    grid.reset();
    state.ResumeTiming();
  }
  state.counters["rows"] = kRows;
  state.counters["codes"] = double(kRows) * PrivilegeCount;
}
BENCHMARK(BM_AppendRowsAndSetCodes)->Unit(benchmark::kMillisecond)->Iterations(3);

// The same with a whole row of codes per change notice.
void BM_AppendRowsAndSetRowCodes(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    auto grid = ShownGrid();
    state.ResumeTiming();
    TRightsGridModel& model = *grid->Model();
    TRowCodes codes;
    for (int i = 0; i < kRows; ++i) {
      const int row = model.AppendRow(QStringLiteral("COMPUTER%1").arg(i, 5, 10, QLatin1Char('0')));
      for (int col = 0; col < PrivilegeCount; ++col) codes[col] = DemoCode(row + 1, col + 1);
      model.SetRowCodes(row, codes);
    }
    QCoreApplication::processEvents();
    benchmark::DoNotOptimize(grid->RowCount());
    state.PauseTiming();
    grid.reset();
    state.ResumeTiming();
  }
  state.counters["rows"] = kRows;
}
BENCHMARK(BM_AppendRowsAndSetRowCodes)->Unit(benchmark::kMillisecond)->Iterations(3);

class FilledGrid : public benchmark::Fixture {
 public:
  void SetUp(const benchmark::State&) override {
    if (!grid) {
      grid = ShownGrid();
      Fill(*grid);
      QCoreApplication::processEvents();
    }
  }
  static std::unique_ptr<TRightsGrid> grid;
};
std::unique_ptr<TRightsGrid> FilledGrid::grid;

// Scrolling one page down (wrapping at the end) and painting what shows.
BENCHMARK_DEFINE_F(FilledGrid, ScrollPageAndRepaint)(benchmark::State& state) {
  QScrollBar* bar = grid->verticalScrollBar();
  bar->setValue(0);
  for (auto _ : state) {
    const int next = bar->value() + bar->pageStep();
    bar->setValue(next > bar->maximum() ? 0 : next);
    grid->viewport()->repaint();
  }
  state.counters["visible_cells"] = double(bar->pageStep()) * PrivilegeCount;
}
BENCHMARK_REGISTER_F(FilledGrid, ScrollPageAndRepaint)->Unit(benchmark::kMicrosecond);

// From the top to the bottom and back: the longest jump a scroll bar drag makes.
BENCHMARK_DEFINE_F(FilledGrid, JumpEndToEndAndRepaint)(benchmark::State& state) {
  QScrollBar* bar = grid->verticalScrollBar();
  for (auto _ : state) {
    bar->setValue(bar->value() == 0 ? bar->maximum() : 0);
    grid->viewport()->repaint();
  }
}
BENCHMARK_REGISTER_F(FilledGrid, JumpEndToEndAndRepaint)->Unit(benchmark::kMicrosecond);

// A block of marks over every row and column: one change notice.
BENCHMARK_DEFINE_F(FilledGrid, MarkWholeGrid)(benchmark::State& state) {
  char mark = 'Y';
  for (auto _ : state) {
    mark = mark == 'Y' ? 'N' : 'Y';
    grid->ChangeBlock({1, 1, 27, grid->RowCount() - 1},
                      [mark](const TCellCode& code) { return WithMark(code, mark); });
    grid->viewport()->repaint();
  }
}
BENCHMARK_REGISTER_F(FilledGrid, MarkWholeGrid)->Unit(benchmark::kMillisecond);

// Finding computers by name, ignoring case, as each read does.
BENCHMARK_DEFINE_F(FilledGrid, FindRowIgnoringCase)(benchmark::State& state) {
  int i = 0;
  for (auto _ : state) {
    const QString name = QStringLiteral("computer%1").arg(i, 5, 10, QLatin1Char('0'));
    benchmark::DoNotOptimize(grid->FindRow(name));
    i = (i + 7919) % kRows;
  }
}
BENCHMARK_REGISTER_F(FilledGrid, FindRowIgnoringCase);

// The bare drawing a page of the grid needs: one 16 x 16 image per visible
// cell onto a raster image of the viewport's size.
void BM_BareImagesOfOnePage(benchmark::State& state) {
  const int rows = 245 / 18, cols = PrivilegeCount;
  QImage page(636, 245, QImage::Format_ARGB32_Premultiplied);
  for (auto _ : state) {
    QPainter painter(&page);
    painter.fillRect(page.rect(), Qt::white);
    for (int r = 0; r < rows; ++r)
      for (int c = 0; c < cols; ++c)
        painter.drawPixmap(100 + c * 21 + 2, r * 18, tavrin::StateImage((r + c) % 4));
  }
}
BENCHMARK(BM_BareImagesOfOnePage)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  // A leading row count is the bench's own; the rest go to the benchmark library.
  if (argc > 1 && argv[1][0] >= '1' && argv[1][0] <= '9') {
    kRows = std::atoi(argv[1]);
    for (int i = 1; i + 1 < argc; ++i) argv[i] = argv[i + 1];
    argv[--argc] = nullptr;
  }

  // Memory first, in a fresh process: the grid alone, then with 10,000 rows.
  const long before = VmRssKiB();
  {
    auto grid = ShownGrid();
    const long empty = VmRssKiB();
    Fill(*grid);
    grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->maximum());
    grid->viewport()->repaint();
    QCoreApplication::processEvents();
    const long filled = VmRssKiB();
    std::printf(
        "VmRSS: %ld KiB at start, %ld KiB with the empty grid, %ld KiB with %d rows "
        "(%ld KiB for the rows, %.0f bytes a row)\n",
        before, empty, filled, kRows, filled - empty, (filled - empty) * 1024.0 / kRows);
  }

  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  FilledGrid::grid.reset();
  std::printf("VmRSS at the end: %ld KiB\n", VmRssKiB());
  return 0;
}
