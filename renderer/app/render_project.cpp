#include "renderer/app/render_project.h"

#include <algorithm>
#include <optional>

#include "platform/report.h"
#include "storage/iff.h"

namespace tessaran {
namespace {

constexpr std::size_t kMaxPathLength = kProjectPathSize - 1;
// "RESM" flags: the project file was made by the stop.
constexpr std::uint32_t kResumeProjectMade = 1;

void Fail(std::string* problem, std::string reason) {
  if (problem) *problem = std::move(reason);
}

// The parameter block is kept exactly as the renderer holds it in memory:
// little-endian fields at fixed offsets.
void ReadBlock(ByteReader& in, RenderProject& p) {
  ByteSpan scene = in.Take(kProjectPathSize);
  std::transform(scene.begin(), scene.end(), p.scene.begin(),
                 [](std::byte b) { return static_cast<char>(b); });
  p.width = in.I16LE();
  p.height = in.I16LE();
  p.pixelRatio = in.I16LE();
  p.sunIntensity = in.I16LE();
  p.sunV = in.I16LE();
  p.sunH = in.I16LE();
  for (auto& colour : p.skyColours) colour = in.U32LE();
  p.recursion = in.I16LE();
  p.ambient = in.I16LE();
  p.raySunShadows = in.U8();
  p.rayLampShadows = in.U8();
  p.pixelSunShadows = in.U8();
  p.pixelLampShadows = in.U8();
  for (auto& b : p.carried192) b = in.U8();
  for (auto& b : p.carried196) b = in.U8();
  p.carried198 = in.I16LE();
  p.mode = in.I16LE();
  p.flags = in.U16LE();
  p.output = in.U16LE();
  p.format24 = in.I16LE();
  p.format8 = in.I16LE();
  p.animFormat = in.I16LE();
  p.sunRelative = in.I16LE();
  p.raySwitches = in.U16LE();
  p.sceneCount = in.I32LE();
  p.lastSeconds = in.I32LE();
  p.antialias = in.I16LE();
  p.firstImage = in.I16LE();
  p.resumeX = in.I16LE();
  p.resumeY = in.I16LE();
  p.carried232 = in.I32LE();
}

void WriteBlock(ByteWriter& out, const RenderProject& p) {
  for (char c : p.scene) out.U8(static_cast<std::uint8_t>(c));
  auto i16 = [&](std::int16_t v) { out.U16LE(static_cast<std::uint16_t>(v)); };
  auto i32 = [&](std::int32_t v) { out.U32LE(static_cast<std::uint32_t>(v)); };
  i16(p.width);
  i16(p.height);
  i16(p.pixelRatio);
  i16(p.sunIntensity);
  i16(p.sunV);
  i16(p.sunH);
  for (auto colour : p.skyColours) out.U32LE(colour);
  i16(p.recursion);
  i16(p.ambient);
  out.U8(p.raySunShadows);
  out.U8(p.rayLampShadows);
  out.U8(p.pixelSunShadows);
  out.U8(p.pixelLampShadows);
  for (auto b : p.carried192) out.U8(b);
  for (auto b : p.carried196) out.U8(b);
  i16(p.carried198);
  i16(p.mode);
  out.U16LE(p.flags);
  out.U16LE(p.output);
  i16(p.format24);
  i16(p.format8);
  i16(p.animFormat);
  i16(p.sunRelative);
  out.U16LE(p.raySwitches);
  i32(p.sceneCount);
  i32(p.lastSeconds);
  i16(p.antialias);
  i16(p.firstImage);
  i16(p.resumeX);
  i16(p.resumeY);
  i32(p.carried232);
}

MappingRecord ReadMapping(ByteReader& in) {
  MappingRecord m;
  m.kind = in.I32LE();
  m.on = in.I32LE();
  m.value8 = in.I32LE();
  m.scaleX = in.I32LE();
  m.scaleY = in.I32LE();
  for (auto& b : m.rest) b = in.U8();
  return m;
}

void WriteMapping(ByteWriter& out, const MappingRecord& m) {
  out.U32LE(static_cast<std::uint32_t>(m.kind));
  out.U32LE(static_cast<std::uint32_t>(m.on));
  out.U32LE(static_cast<std::uint32_t>(m.value8));
  out.U32LE(static_cast<std::uint32_t>(m.scaleX));
  out.U32LE(static_cast<std::uint32_t>(m.scaleY));
  for (auto b : m.rest) out.U8(b);
}

// A path chunk: up to 152 bytes, ending at the first NUL.
std::string ReadPath(ByteSpan data) {
  std::string path;
  for (std::size_t i = 0; i < data.size() && i < kMaxPathLength; ++i) {
    char c = static_cast<char>(data[i]);
    if (c == '\0') break;
    path += c;
  }
  return path;
}

std::size_t After(const IffChunk& chunk) {
  return chunk.offset + 8 + chunk.data.size() + (chunk.data.size() % 2);
}

// Where the chunks of the "KRPJ" form begin, found by walking the chunk
// headers from the start of the file.
std::optional<std::size_t> FindProjectForm(ByteSpan bytes) {
  IffScanner scanner(bytes);
  IffChunk chunk;
  while (scanner.Next(chunk)) {
    std::string type;
    ByteSpan contents;
    if (IffGroupContents(chunk, type, contents) && type == "KRPJ") return scanner.Position();
  }
  return std::nullopt;
}

void WritePathChunk(IffWriter& iff, const std::string& path) {
  Bytes data;
  ByteWriter w(data);
  w.Append(AsBytes(std::string_view(path).substr(0, kMaxPathLength)));
  w.U8(0);
  iff.Chunk("FPAT", data);
}

}  // namespace

std::string MappingImage(const MappingRecord& mapping) {
  std::string path;
  for (std::size_t i = 0; i < kMaxPathLength && mapping.rest[i] != 0; ++i) path += static_cast<char>(mapping.rest[i]);
  return path;
}

void SetMappingImage(MappingRecord& mapping, std::string_view path) {
  std::fill_n(mapping.rest.begin(), kProjectPathSize, 0);
  std::copy_n(path.begin(), std::min(path.size(), kMaxPathLength), mapping.rest.begin());
}

MappingRecord DefaultSkyMapping() { return MappingRecord{}; }

MappingRecord DefaultGroundMapping() {
  MappingRecord m;
  m.scaleX = m.scaleY = 10000000;
  return m;
}

std::string RenderProject::SceneName() const {
  return std::string(scene.data(), std::find(scene.begin(), scene.end(), '\0'));
}

void RenderProject::SetSceneName(std::string_view path) {
  scene.fill('\0');
  std::copy_n(path.begin(), std::min(path.size(), kMaxPathLength), scene.begin());
}

std::string NativePath(std::string_view text) {
  std::string path(text);
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

void ResetProject(RenderProject& project) { project = RenderProject{}; }

bool ParseProject(ByteSpan bytes, RenderProject& project, std::string* problem) {
  std::optional<std::size_t> start = FindProjectForm(bytes);
  if (!start) {
    Fail(problem, "no \"KRPJ\" form");
    return false;
  }
  // Work on a copy: a damaged file changes nothing.
  RenderProject p = project;
  std::size_t position = *start;

  if (auto block = IffFind(bytes, "RZPM", position)) {
    if (block->data.size() < kProjectBlockSize) {
      Fail(problem, "parameter block too short");
      return false;
    }
    ByteReader in(block->data);
    ReadBlock(in, p);
    position = After(*block);
  }
  if (p.sceneCount < 0 || p.sceneCount > kMaxProjectScenes) {
    Fail(problem, "scene count " + std::to_string(p.sceneCount) + " out of range");
    return false;
  }

  p.imageCounts.resize(static_cast<std::size_t>(p.sceneCount), 0);
  if (p.sceneCount > 1) {
    if (auto counts = IffFind(bytes, "IMPS", position)) {
      if (counts->data.size() < 4 * static_cast<std::size_t>(p.sceneCount)) {
        Fail(problem, "image counts shorter than the scene count");
        return false;
      }
      ByteReader in(counts->data);
      for (auto& n : p.imageCounts) n = in.I32LE();
      position = After(*counts);
    }
  }

  // A plane path is read only when its flag is set in the block just read.
  for (auto [bit, path] : {std::pair{kOutBackPlane, &p.backPlane}, std::pair{kOutFrontPlane, &p.frontPlane}}) {
    if (!p.Output(bit)) continue;
    if (auto chunk = IffFind(bytes, "FPAT", position)) {
      *path = ReadPath(chunk->data);
      position = After(*chunk);
    }
  }

  // Up to two mapping records; the sky record has a non-zero kind.
  for (int i = 0; i < 2; ++i) {
    auto chunk = IffFind(bytes, "EVMP", position);
    if (!chunk) break;
    if (chunk->data.size() < kMappingRecordSize) {
      Fail(problem, "mapping record too short");
      return false;
    }
    ByteReader in(chunk->data);
    MappingRecord m = ReadMapping(in);
    (m.kind != 0 ? p.sky : p.ground) = m;
    position = After(*chunk);
  }

  p.lastImage = -1;
  if (auto last = IffFind(bytes, "LAST", position)) {
    if (last->data.size() < 4) {
      Fail(problem, "last image chunk too short");
      return false;
    }
    ByteReader in(last->data);
    p.lastImage = std::max(in.I32LE(), -1);
  }
  p.fullNames = false;
  if (auto names = IffFind(bytes, "NAMS", position)) {
    if (names->data.size() < 4) {
      Fail(problem, "naming chunk too short");
      return false;
    }
    p.fullNames = ByteReader(names->data).U32LE() != 0;
  }
  p.resumeFrames = -1;
  p.madeForResume = false;
  if (auto resume = IffFind(bytes, "RESM", position)) {
    if (resume->data.size() < 8) {
      Fail(problem, "resume chunk too short");
      return false;
    }
    ByteReader in(resume->data);
    p.resumeFrames = std::max(in.I32LE(), -1);
    p.madeForResume = (in.U32LE() & kResumeProjectMade) != 0;
  }

  project = std::move(p);
  return true;
}

Bytes SerializeProject(const RenderProject& p) {
  Bytes out;
  IffWriter iff(out);
  iff.BeginGroup("FORM", "KRPJ");

  iff.BeginChunk("RZPM");
  WriteBlock(iff.Data(), p);
  iff.End();

  if (p.sceneCount > 1 && !p.imageCounts.empty()) {
    iff.BeginChunk("IMPS");
    for (std::int32_t i = 0; i < p.sceneCount; ++i) {
      const auto at = static_cast<std::size_t>(i);
      iff.Data().U32LE(static_cast<std::uint32_t>(at < p.imageCounts.size() ? p.imageCounts[at] : 0));
    }
    iff.End();
  }
  if (p.Output(kOutBackPlane) && !p.backPlane.empty()) WritePathChunk(iff, p.backPlane);
  if (p.Output(kOutFrontPlane) && !p.frontPlane.empty()) WritePathChunk(iff, p.frontPlane);

  // The ground record goes first; a reader tells them apart by their kind.
  for (const MappingRecord* m : {&p.ground, &p.sky}) {
    if (m->kind == -1) continue;
    iff.BeginChunk("EVMP");
    WriteMapping(iff.Data(), *m);
    iff.End();
  }
  if (p.lastImage >= 0) {
    iff.BeginChunk("LAST");
    iff.Data().U32LE(static_cast<std::uint32_t>(p.lastImage));
    iff.End();
  }
  if (p.fullNames) {
    iff.BeginChunk("NAMS");
    iff.Data().U32LE(1);
    iff.End();
  }
  if (p.resumeFrames >= 0 || p.madeForResume) {
    iff.BeginChunk("RESM");
    iff.Data().U32LE(static_cast<std::uint32_t>(p.resumeFrames));
    iff.Data().U32LE(p.madeForResume ? kResumeProjectMade : 0);
    iff.End();
  }
  iff.End();
  return out;
}

bool ReadProject(RenderProject& project, const std::filesystem::path& path) {
  Bytes bytes;
  std::string problem;
  if (!ReadWholeFile(path, bytes, &problem) || !ParseProject(bytes, project, &problem)) {
    ShowMessage(MessageKind::Error, kMsgProjectInvalid);
    Reporter().Report(MessageKind::Information, -1, path.string() + ": " + problem);
    return false;
  }
  return true;
}

std::filesystem::path RedirectedPath(const std::filesystem::path& path,
                                     const std::filesystem::path& redirect) {
  return redirect.empty() ? path : redirect / path.filename();
}

bool WriteProject(const RenderProject& project, const std::filesystem::path& path,
                  const std::filesystem::path& redirect) {
  const std::filesystem::path target = RedirectedPath(path, redirect);
  const Bytes bytes = SerializeProject(project);
  std::string problem;
  if (!WriteFileAtomically(target, bytes, &problem)) {
    ShowMessage(MessageKind::Error, kMsgProjectCreateError);
    Reporter().Report(MessageKind::Information, -1, target.string() + ": " + problem);
    return false;
  }
  return true;
}

}  // namespace tessaran
