#include "scene/faces.h"

#include <cstring>

#include "platform/console.h"

namespace tessaran {

namespace {
// Face tables are paged like the points table.
constexpr int kFaceBuffers = 2;
constexpr int kFaceBufferSize = 240;
constexpr int kFaceSupport = 0;
}  // namespace

int FaceTable::Resize(int count) {
  if (count <= 0) return 0;
  if (!VTabFace) {
    VTabFace = InitVirTab(sizeof(Face), count, kFaceBuffers, kFaceBufferSize, kFaceSupport);
    if (!VTabFace) {
      Trace("Erreur d'initialisation VTabFace\n");
      return 0;
    }
  } else if (!ReInitVirTab(VTabFace.get(), count, kFaceBuffers, kFaceBufferSize, kFaceSupport)) {
    Trace("Erreur ReInitVirTab (VTabFace)\n");
    return 0;
  }
  count_ = count;
  return 1;
}

void FaceTable::Clear() {
  VTabFace.reset();
  count_ = 0;
}

Face FaceTable::Get(int i) const {
  Face face{};
  if (!VTabFace || i < 0 || i >= count_) return face;
  if (const void* element = VGet(VTabFace.get(), i)) std::memcpy(face.data(), element, sizeof face);
  return face;
}

int FaceTable::Put(int i, const Face& face) {
  if (!VTabFace || i < 0 || i >= count_) return 0;
  return VPut(face.data(), VTabFace.get(), i);
}

}  // namespace tessaran
