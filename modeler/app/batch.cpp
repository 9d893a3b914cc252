#include "modeler/app/batch.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <memory>
#include <ostream>

#include "modeler/app/build_ops.h"
#include "modeler/app/model_files.h"
#include "platform/report.h"
#include "scene/keyframes.h"
#include "scene/maq_file.h"
#include "scene/maq_scene.h"
#include "scene/scene_model.h"

namespace tessaran {

namespace {

// One operation of the command line: a file operation, or one that builds
// or changes the scene.
struct Operation {
  std::string option;
  std::filesystem::path file;
  BuildOperation build;
  bool building = false;
};

// A number to the resolution of the file (lengths 0.00001, angles about
// 0.0001 degree), without trailing zeros.
std::string Number(double value, int decimals = 5) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  std::string s = text;
  s.erase(s.find_last_not_of('0') + 1);
  if (s.back() == '.') s.pop_back();
  return s == "-0" ? "0" : s;
}

std::string SceneJson(const SceneModel& scene) {
  const ViewCamera& view = scene.View();
  const SceneHeader& h = scene.Header();
  return "{\"objects\":" + std::to_string(h.objectCount) + ",\"points\":" + std::to_string(scene.TotalPoints()) +
         ",\"faces\":" + std::to_string(scene.Faces().Count()) +
         ",\"free_frames\":" + std::to_string(h.freeFrameCount) +
         ",\"lamps\":" + std::to_string(scene.SceneLamps().Count()) + ",\"camera\":{\"th\":" + Number(view.TH, 4) +
         ",\"ph\":" + Number(view.PH, 4) + ",\"zoom\":" + Number(view.zoom) + ",\"pers\":" + std::to_string(view.PERS) +
         ",\"target\":[" + Number(view.CIBLE[0]) + "," + Number(view.CIBLE[1]) + "," + Number(view.CIBLE[2]) +
         "]}}";
}

// The faceted objects of a scene: per object its face group, and the faces.
bool SameFacets(const SceneModel& a, const SceneModel& b) {
  std::vector<std::array<std::int32_t, 3>> groups[2];
  const SceneModel* scenes[2] = {&a, &b};
  for (int s = 0; s < 2; ++s) {
    const SceneModel& scene = *scenes[s];
    for (int k = 0; k < scene.Header().objectCount; ++k) {
      const int group = scene.State(k).faceGroup;
      if (group <= 0 || group > scene.FaceGroupCount()) continue;
      const FaceGroup& g = scene.FaceGroupEntry(group);
      groups[s].push_back({g.faceCount, g.pointCount, g.firstFace});
    }
  }
  if (groups[0] != groups[1] || a.Faces().Count() != b.Faces().Count()) return false;
  for (int i = 0; i < a.Faces().Count(); ++i) {
    if (a.Faces().Get(i) != b.Faces().Get(i)) return false;
  }
  return true;
}

// Whether two scenes hold the same objects: the same meshes in the same order.
bool SameObjects(const SceneModel& a, const SceneModel& b) {
  if (a.Header().objectCount != b.Header().objectCount) return false;
  for (int k = 0; k < a.Header().objectCount; ++k) {
    if (a.Object(k).MeshU() != b.Object(k).MeshU() || a.Object(k).MeshV() != b.Object(k).MeshV() ||
        a.ObjectPointCount(k) != b.ObjectPointCount(k) || (a.State(k).faceGroup != 0) != (b.State(k).faceGroup != 0)) {
      return false;
    }
  }
  return true;
}

// The present scene becomes the next keyframe scene of the file, which is
// made when it does not exist. Only the file's first scene carries the
// faces: a scene whose faceted objects are not the first scene's is
// refused. The renderer moves only the objects two keyframe scenes share:
// a scene of other objects than the last one is taken with a warning.
bool AddKeyframe(SceneModel& scene, const std::filesystem::path& file, std::ostream& err) {
  std::error_code error;
  int count = 0;
  if (std::filesystem::exists(file, error)) {
    MaqSceneFile existing;
    if (existing.Open(file) != MaqStatus::Ok) {
      ShowMessage(MessageKind::Error, 32);
      return false;
    }
    count = existing.SceneCount();
    auto first = std::make_unique<SceneModel>(), last = std::make_unique<SceneModel>();
    if (ReadModel(*first, file, ReadMode::Open, 1) != 0 || ReadModel(*last, file, ReadMode::Open, count) != 0) {
      return false;
    }
    if (!SameFacets(scene, *first)) {
      err << "qmx: --add-keyframe " << file.string()
          << ": the faceted objects (DXF, 3D text) differ from those of the file's first scene, whose faces every "
             "keyframe scene uses; build every keyframe scene with the same faceted objects\n";
      return false;
    }
    if (!SameObjects(scene, *last)) {
      err << "qmx: warning: --add-keyframe " << file.string() << ": scene " << count + 1
          << " holds other objects than scene " << count
          << "; only the objects both hold at the same place of the list (object numbers, meshes) move "
             "between them, the others appear or vanish at the keyframe scene that has them or not\n";
    }
  }
  scene.Header().sceneCount = count;
  return Keyframes(scene, file).Add() == 1;
}

// The exit status an operation leaves: done, failed, or refused as bad usage.
int RunBuilding(SceneModel& scene, BuildState& state, const BuildOperation& op, std::ostream& err) {
  BuildError error;
  if (RunBuildOperation(scene, state, op, error)) return kBatchDone;
  err << "qmx: " << op.option << ": " << error << '\n';
  return error.badUsage ? kBatchBadUsage : kBatchFailed;
}

int Run(SceneModel& scene, BuildState& state, const Operation& op, std::ostream& out, std::ostream& err) {
  if (op.building) return RunBuilding(scene, state, op.build, err);
  const std::string name = op.file.string();
  if ((op.option == "--open" || op.option == "--insert") && IsDxfFile(op.file)) {
    // A DXF file is imported; opening one starts from an empty scene.
    if (op.option == "--open") scene.NewScene();
    return RunBuilding(scene, state, BuildOperation{"--import", {name}}, err);
  }
  if (op.option == "--open" || op.option == "--insert") {
    const ReadMode mode = op.option == "--open" ? ReadMode::Open : ReadMode::Insert;
    if (ReadModel(scene, op.file, mode) == 0) return kBatchDone;
  } else if (op.option == "--save") {
    if (WriteMaq(scene, op.file)) return kBatchDone;
  } else if (op.option == "--add-keyframe") {
    if (AddKeyframe(scene, op.file, err)) return kBatchDone;
  } else if (op.option == "--info") {
    std::string json;
    if (ModelerFileInfo(op.file, json)) {
      out << json << '\n';
      return kBatchDone;
    }
  }
  err << "qmx: " << op.option << ' ' << name << " failed\n";
  return kBatchFailed;
}

}  // namespace

std::string ModelerBatchHelp() {
  return "usage: qmx --batch OPERATION...\n"
         "       qmx [F.MAQ|F.DXF]     on a display: the modeler's windows, F opened in them\n"
         "Applies the operations in order to one scene, which starts empty.\n"
         "  --open F.MAQ|F.DXF    read the first scene of F (or import F) in place of the scene\n"
         "  --insert F.MAQ|F.DXF  add the objects, frames, lamps, maps and assignments of F\n"
         "  --save F.MAQ          write the scene to F (one scene)\n"
         "  --add-keyframe F.MAQ  the scene becomes the next keyframe scene of F\n"
         "  --info F.MAQ          print the counts and cameras of every scene of F as JSON\n"
         "  --help                this text\n" +
         BuildOptionsHelp() + "Exit status: 0 done, 1 an operation failed, 2 bad usage (also a value out of\n"
         "its range or beyond what a scene file holds).\n";
}

bool ModelerFileInfo(const std::filesystem::path& file, std::string& json) {
  auto scene = std::make_unique<SceneModel>();
  if (ReadModel(*scene, file, ReadMode::Open, 1) != 0) return false;
  const int count = std::max(scene->Header().sceneCount, 1);
  const std::string maps = std::to_string(scene->Maps().Count());
  const std::string assignments = std::to_string(scene->Assignments().Count());
  json = "{\"scenes\":[" + SceneJson(*scene);
  for (int n = 2; n <= count; ++n) {
    scene = std::make_unique<SceneModel>();
    if (ReadModel(*scene, file, ReadMode::Open, n) != 0) return false;
    json += "," + SceneJson(*scene);
  }
  json += "],\"maps\":" + maps + ",\"assignments\":" + assignments + "}";
  return true;
}

int RunModelerBatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  std::vector<Operation> operations;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--batch") continue;
    if (arg == "--help") {
      out << ModelerBatchHelp();
      return kBatchDone;
    }
    const bool withFile = arg == "--open" || arg == "--insert" || arg == "--save" || arg == "--info" ||
                          arg == "--add-keyframe";
    if (withFile && i + 1 < args.size()) {
      operations.push_back({arg, args[++i], {}, false});
      continue;
    }
    BuildError why;
    if (withFile) {
      err << "qmx: " << arg << " needs a file\n";
    } else if (IsBuildOption(arg)) {
      Operation op;
      op.building = true;
      if (ParseBuildOperation(args, i, op.build, why)) {
        operations.push_back(std::move(op));
        continue;
      }
      err << "qmx: " << why << '\n';
    } else {
      err << "qmx: unknown option " << arg << "\n";
    }
    err << ModelerBatchHelp();
    return kBatchBadUsage;
  }
  if (operations.empty()) {
    err << ModelerBatchHelp();
    return kBatchBadUsage;
  }
  SceneModel scene;
  BuildState state;
  for (const Operation& op : operations) {
    if (const int status = Run(scene, state, op, out, err); status != kBatchDone) return status;
  }
  return kBatchDone;
}

}  // namespace tessaran
