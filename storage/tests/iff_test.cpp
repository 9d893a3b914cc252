#include "storage/iff.h"

#include <gtest/gtest.h>

namespace tessaran {
namespace {

Bytes SampleForm() {
  Bytes out;
  IffWriter iff(out);
  iff.BeginGroup("FORM", "MAQ ");
  iff.Chunk("ODD ", AsBytes("abc"));  // odd size: one pad byte follows
  iff.BeginGroup("PROP", "MAQ ");
  iff.Chunk("SCHD", AsBytes("12"));
  iff.End();
  iff.Chunk("PTSX", AsBytes("wxyz"));
  iff.End();
  return out;
}

TEST(Iff, WriterPadsOddChunksAndPatchesGroupSizes) {
  Bytes out = SampleForm();
  // FORM(8) MAQ(4) ODD(8+3+1) PROP(8) MAQ(4) SCHD(8+2) PTSX(8+4)
  ASSERT_EQ(out.size(), 58u);
  ByteReader r(out);
  EXPECT_EQ(r.Tag(), "FORM");
  EXPECT_EQ(r.U32BE(), 50u);
  EXPECT_EQ(out[23], std::byte{0});  // pad of "abc"
}

TEST(Iff, WalkerVisitsOneLevelAndSkipsPads) {
  Bytes out = SampleForm();
  IffWalker top(out);
  IffChunk form;
  ASSERT_TRUE(top.Next(form));
  std::string type;
  ByteSpan contents;
  ASSERT_TRUE(IffGroupContents(form, type, contents));
  EXPECT_EQ(type, "MAQ ");
  IffWalker inner(contents);
  IffChunk chunk;
  std::vector<std::string> tags;
  while (inner.Next(chunk)) tags.push_back(chunk.tag);
  EXPECT_EQ(tags, (std::vector<std::string>{"ODD ", "PROP", "PTSX"}));
  EXPECT_FALSE(inner.Truncated());
  EXPECT_FALSE(top.Next(form));
}

TEST(Iff, FindEntersGroupsAndStartsWhereAsked) {
  Bytes out = SampleForm();
  auto schd = IffFind(out, "SCHD");
  ASSERT_TRUE(schd);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(schd->data.data()), 2), "12");
  auto ptsx = IffFind(out, "PTSX", schd->offset);
  ASSERT_TRUE(ptsx);
  EXPECT_FALSE(IffFind(out, "SCHD", ptsx->offset));
  EXPECT_FALSE(IffFind(out, "NONE"));
}

TEST(Iff, ScannerEntersGroupsAndStopsAtATruncatedChunk) {
  Bytes out = SampleForm();
  std::vector<std::string> tags;
  IffScanner scanner(out);
  IffChunk chunk;
  while (scanner.Next(chunk)) tags.push_back(chunk.tag);
  EXPECT_EQ(tags, (std::vector<std::string>{"FORM", "ODD ", "PROP", "SCHD", "PTSX"}));
  EXPECT_FALSE(scanner.Truncated());
  out.resize(out.size() - 1);  // PTSX loses a byte
  tags.clear();
  IffScanner cut(out);
  while (cut.Next(chunk)) tags.push_back(chunk.tag);
  EXPECT_EQ(tags.back(), "SCHD");
  EXPECT_TRUE(cut.Truncated());
}

TEST(Iff, SizesBeyondTheEndAreRefused) {
  Bytes out = SampleForm();
  out.resize(40);  // cuts the PROP group short
  IffWalker top(out);
  IffChunk form;
  EXPECT_FALSE(top.Next(form));
  EXPECT_TRUE(top.Truncated());
  EXPECT_TRUE(IffFind(out, "ODD "));
  EXPECT_FALSE(IffFind(out, "PTSX"));
  Bytes huge = out;
  huge[4] = std::byte{0xFF};  // FORM size of four gigabytes
  EXPECT_FALSE(IffWalker(huge).Next(form));
}

}  // namespace
}  // namespace tessaran
