#include "scene/keyframes.h"

#include <algorithm>

#include "platform/report.h"
#include "scene/maq_file.h"
#include "scene/scene_list.h"

namespace tessaran {

namespace {
constexpr int kCantInsertMessage = 13;
constexpr int kOnlySceneMessage = 14;
constexpr int kCantDeleteMessage = 15;
constexpr int kAlreadyFirstMessage = 16;
constexpr int kNoNextMessage = 17;
constexpr int kAlreadyLastMessage = 18;
constexpr int kNoPreviousMessage = 19;
constexpr int kAlreadyAtFirstMessage = 20;
constexpr int kNoLastMessage = 21;
constexpr int kAtTheEndMessage = 22;
}  // namespace

int Keyframes::Refuse(int message) {
  ShowMessage(MessageKind::Information, message);
  return 0;
}

int Keyframes::Fail(int message) {
  ShowMessage(message == kCantInsertMessage ? MessageKind::Warning : MessageKind::Error, message);
  return 0;
}

int Keyframes::Load(int number) {
  if (ReadModel(scene_, file_, ReadMode::Open, number) != 0) return 0;
  scene_.Header().sceneNumber = number;
  return 1;
}

int Keyframes::AnimationOn() {
  SceneHeader& h = scene_.Header();
  // A file that holds scenes keeps them: the model becomes its scene 1.
  std::error_code error;
  int count = 1;
  if (h.sceneCount > 1 && std::filesystem::exists(file_, error)) {
    count = ReplaceScene(file_, 1, scene_);
    if (count == 0) return 0;
  } else {
    const int number = h.sceneNumber;
    h.sceneNumber = 1;
    if (!WriteMaq(scene_, file_)) {
      h.sceneNumber = number;
      return 0;
    }
  }
  h.sceneNumber = 1;
  h.sceneCount = count;
  return 1;
}

void Keyframes::AnimationOff() {
  scene_.Header().sceneNumber = 0;
  scene_.Header().sceneCount = 0;
}

int Keyframes::Add() {
  SceneHeader& h = scene_.Header();
  std::error_code error;
  if (h.sceneCount < 1 || !std::filesystem::exists(file_, error)) return AnimationOn();
  const int count = InsertScene(file_, h.sceneCount + 1, scene_);
  if (count == 0) return 0;
  h.sceneNumber = std::min(h.sceneCount + 1, count);
  h.sceneCount = count;
  return 1;
}

int Keyframes::Modify() {
  SceneHeader& h = scene_.Header();
  const int count = ReplaceScene(file_, std::max(h.sceneNumber, 1), scene_);
  if (count == 0) return 0;
  h.sceneNumber = std::max(h.sceneNumber, 1);
  h.sceneCount = count;
  return 1;
}

int Keyframes::Insert() {
  SceneHeader& h = scene_.Header();
  const int count = InsertScene(file_, h.sceneNumber + 1, scene_);
  if (count == 0) return Fail(kCantInsertMessage);
  h.sceneNumber = std::min(h.sceneNumber + 1, count);
  h.sceneCount = count;
  return 1;
}

int Keyframes::Delete() {
  SceneHeader& h = scene_.Header();
  if (h.sceneCount < 2) return Refuse(kOnlySceneMessage);
  const int count = DeleteScene(file_, h.sceneNumber);
  if (count == 0) return Fail(kCantDeleteMessage);
  h.sceneCount = count;
  return Load(std::min(h.sceneNumber, count));
}

int Keyframes::First() {
  if (scene_.Header().sceneNumber < 2) return Refuse(kAlreadyFirstMessage);
  return Load(1);
}

int Keyframes::Next() {
  const SceneHeader& h = scene_.Header();
  if (h.sceneNumber >= h.sceneCount) return Refuse(kAlreadyLastMessage);
  return Load(h.sceneNumber + 1) ? 1 : Fail(kNoNextMessage);
}

int Keyframes::Previous() {
  const SceneHeader& h = scene_.Header();
  if (h.sceneNumber < 2) return Refuse(kAlreadyAtFirstMessage);
  return Load(h.sceneNumber - 1) ? 1 : Fail(kNoPreviousMessage);
}

int Keyframes::Last() {
  const SceneHeader& h = scene_.Header();
  if (h.sceneNumber >= h.sceneCount) return Refuse(kAtTheEndMessage);
  return Load(h.sceneCount) ? 1 : Fail(kNoLastMessage);
}

}  // namespace tessaran
