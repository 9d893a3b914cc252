#include "link/frame.h"

#include <gtest/gtest.h>

#include <cstring>

namespace tessaran::link {
namespace {

std::vector<std::uint8_t> Text(const char* s) { return {s, s + std::strlen(s) + 1}; }

Frame Make(FrameKind kind) {
  Frame f;
  f.kind = kind;
  return f;
}

TEST(Frame, EveryKindComesBackAsSent) {
  std::vector<Frame> frames;
  Frame connect = Make(FrameKind::Connect);
  connect.topic = "QMXRZ";
  frames.push_back(connect);
  Frame execute = Make(FrameKind::Execute);
  execute.data = Text("RENDER /a/b.MAQ");
  frames.push_back(execute);
  for (FrameKind kind : {FrameKind::Poke, FrameKind::Request, FrameKind::AdvStart, FrameKind::AdvStop,
                         FrameKind::AdvData}) {
    Frame f = Make(kind);
    f.item = "Q1VOIR";
    f.format = "QMXPlay";
    if (kind == FrameKind::Poke || kind == FrameKind::AdvData) f.data.assign(504, 7);
    frames.push_back(f);
  }
  Frame reply = Make(FrameKind::Reply);
  reply.status = ReplyStatus::Busy;
  reply.data = {1, 2, 3, 4};
  frames.push_back(reply);
  frames.push_back(Make(FrameKind::Disconnect));

  FrameReader reader;
  for (const Frame& f : frames) {
    std::vector<std::uint8_t> bytes = EncodeFrame(f);
    ASSERT_FALSE(bytes.empty());
    // Byte by byte, as a slow stream delivers it.
    for (std::uint8_t b : bytes) reader.Append(&b, 1);
  }
  for (const Frame& f : frames) {
    Frame got;
    ASSERT_EQ(reader.Next(got), FrameReader::Result::Frame);
    EXPECT_EQ(got, f);
  }
  Frame none;
  EXPECT_EQ(reader.Next(none), FrameReader::Result::NeedMore);
  EXPECT_EQ(reader.Buffered(), 0u);
}

TEST(Frame, WireLayoutIsLittleEndian) {
  Frame execute = Make(FrameKind::Execute);
  execute.data = Text("SHOW SHOW");
  const std::vector<std::uint8_t> bytes = EncodeFrame(execute);
  const std::vector<std::uint8_t> head{15, 0, 0, 0, 2, 10, 0, 0, 0, 'S'};
  ASSERT_EQ(bytes.size(), 19u);
  EXPECT_TRUE(std::equal(head.begin(), head.end(), bytes.begin()));
  EXPECT_EQ(bytes.back(), 0);
}

std::optional<Frame> Decode(std::vector<std::uint8_t> body) { return DecodeFrame(body.data(), body.size()); }

TEST(Frame, MalformedBodiesAreRefused) {
  EXPECT_FALSE(Decode({}));
  EXPECT_FALSE(Decode({0}));                          // no kind 0
  EXPECT_FALSE(Decode({10}));                         // unknown kind
  EXPECT_FALSE(Decode({1, 5, 0, 'Q', 'M'}));          // topic cut short
  EXPECT_FALSE(Decode({1, 0}));                       // length cut short
  EXPECT_FALSE(Decode({1, 0, 0, 9}));                 // bytes after the fields
  EXPECT_FALSE(Decode({2, 0xFF, 0xFF, 0xFF, 0xFF}));  // data longer than the frame
  EXPECT_FALSE(Decode({8, 4, 0, 0, 0, 0}));           // no such reply status
  EXPECT_FALSE(Decode({9, 0}));                       // DISCONNECT has no fields
  EXPECT_TRUE(Decode({8, 1, 0, 0, 0, 0}));
  EXPECT_TRUE(Decode({9}));
}

TEST(Frame, ReaderRefusesLengthsOverTheLimitAtOnceAndStaysRefused) {
  for (std::uint32_t length : {0u, kMaxFrame + 1, 0xFFFFFFFFu}) {
    FrameReader reader;
    const std::uint8_t header[4] = {std::uint8_t(length), std::uint8_t(length >> 8), std::uint8_t(length >> 16),
                                    std::uint8_t(length >> 24)};
    reader.Append(header, 4);
    Frame f;
    EXPECT_EQ(reader.Next(f), FrameReader::Result::Malformed) << length;
    const std::vector<std::uint8_t> good = EncodeFrame(Make(FrameKind::Disconnect));
    reader.Append(good.data(), good.size());
    EXPECT_EQ(reader.Next(f), FrameReader::Result::Malformed);
  }
}

TEST(Frame, FramesUpToTheLimitPassAndLargerOnesAreNotEncoded) {
  Frame big = Make(FrameKind::Execute);
  big.data.assign(kMaxFrame - 5, 'x');  // kind + data length + data = the limit
  const std::vector<std::uint8_t> bytes = EncodeFrame(big);
  ASSERT_EQ(bytes.size(), kMaxFrame + 4);
  FrameReader reader;
  reader.Append(bytes.data(), bytes.size());
  Frame got;
  EXPECT_EQ(reader.Next(got), FrameReader::Result::Frame);
  big.data.push_back('x');
  EXPECT_TRUE(EncodeFrame(big).empty());
  Frame longItem = Make(FrameKind::Poke);
  longItem.item.assign(70000, 'i');
  EXPECT_TRUE(EncodeFrame(longItem).empty());
}

}  // namespace
}  // namespace tessaran::link
