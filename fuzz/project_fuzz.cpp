// Fuzz target for the render project reader: any bytes are either refused or
// read into a project that writes and reads back to the same project.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "renderer/app/render_project.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  tessaran::RenderProject project;
  const tessaran::ByteSpan bytes(reinterpret_cast<const std::byte*>(data), size);
  if (!tessaran::ParseProject(bytes, project)) return 0;
  tessaran::RenderProject back;
  const tessaran::Bytes written = tessaran::SerializeProject(project);
  if (!tessaran::ParseProject(written, back)) std::abort();
  // What the writer leaves out (a plane path whose flag is clear, a mapping
  // of kind -1) is not read back: compare what a file carries.
  if (tessaran::SerializeProject(back) != written) std::abort();
  return 0;
}
