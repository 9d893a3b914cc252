// A modeler view's redraw of a large faceted model: every point projected
// into the view's projected-point table, then the wire drawing of every
// face edge into a window-sized picture, as the view paints it. The model
// is the bench's S1 mesh (75 936 triangles) imported from its DXF file,
// named by S1_DXF (written by the shared bench's gen_scenes.py with
// --scale-s1 0.87). The redraw should take under 16 ms.
#include <benchmark/benchmark.h>

#include <QImage>
#include <cstdlib>
#include <memory>

#include "modeler/app/build_ops.h"
#include "modeler/app/windows/view_drawing.h"
#include "scene/scene_model.h"
#include "ui/tests/qt_test_app.h"

namespace {

using namespace tessaran;

const QSize kViewSize(960, 640);

// The imported model, shared by the benchmarks; null when S1_DXF is unset
// or cannot be imported.
SceneModel* Model() {
  static std::unique_ptr<SceneModel> scene = [] {
    const char* file = std::getenv("S1_DXF");
    auto model = std::make_unique<SceneModel>();
    BuildError error;
    if (!file || !BuildImportDxf(*model, file, error)) return std::unique_ptr<SceneModel>();
    for (int k = 0; k < model->Header().objectCount; ++k) model->State(k).selection = 0;
    // Turned so that every face shows an edge or two.
    model->View().TH = 30;
    model->View().PH = -20;
    return model;
  }();
  return scene.get();
}

struct ViewFixture {
  explicit ViewFixture(SceneModel& scene) : scene(scene), table(scene.Points().OpenViewTable()) {}
  ~ViewFixture() { scene.Points().CloseViewTable(table); }
  SceneModel& scene;
  VTH* table;
};

void Draw(SceneModel& scene, VTH* table, QImage& picture, const WindowMapping& mapping) {
  picture.fill(Qt::white);
  DrawOptions options;
  options.view = &scene.View();
  options.window = mapping;
  DrawScene(picture, scene, table, options);
}

void BM_ProjectScene(benchmark::State& state) {
  SceneModel* scene = Model();
  if (!scene) return state.SkipWithError("S1_DXF names no importable DXF file");
  ViewFixture view(*scene);
  const WindowMapping mapping = MappingForSize(kViewSize);
  for (auto _ : state) ProjectScene(*scene, scene->View(), mapping, view.table);
  state.counters["points"] = scene->TotalPoints();
}
BENCHMARK(BM_ProjectScene)->Unit(benchmark::kMillisecond);

void BM_DrawScene(benchmark::State& state) {
  SceneModel* scene = Model();
  if (!scene) return state.SkipWithError("S1_DXF names no importable DXF file");
  ViewFixture view(*scene);
  const WindowMapping mapping = MappingForSize(kViewSize);
  ProjectScene(*scene, scene->View(), mapping, view.table);
  QImage picture(kViewSize, QImage::Format_RGB32);
  for (auto _ : state) Draw(*scene, view.table, picture, mapping);
  state.counters["faces"] = scene->Faces().Count();
}
BENCHMARK(BM_DrawScene)->Unit(benchmark::kMillisecond);

// The whole redraw: projection and drawing.
void BM_ViewRedraw(benchmark::State& state) {
  SceneModel* scene = Model();
  if (!scene) return state.SkipWithError("S1_DXF names no importable DXF file");
  ViewFixture view(*scene);
  const WindowMapping mapping = MappingForSize(kViewSize);
  QImage picture(kViewSize, QImage::Format_RGB32);
  for (auto _ : state) {
    ProjectScene(*scene, scene->View(), mapping, view.table);
    Draw(*scene, view.table, picture, mapping);
  }
}
BENCHMARK(BM_ViewRedraw)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  TestApplication();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
