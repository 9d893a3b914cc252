// Raw RGB planes: the extensions of the three plane files and of the text
// that describes them, and the messages of that text.
#pragma once

namespace tessaran::rawrgb {

constexpr const char* kRedExtension = ".RED";
constexpr const char* kGreenExtension = ".GRN";
constexpr const char* kBlueExtension = ".BLU";
constexpr const char* kTextExtension = ".RGB";

enum Message {
  kMsgWriteCaption = 247,  // "Enregistrement BRUT 24 "
  kMsgTextFiles = 248,     // "Informations relatives aux fichiers :"
  kMsgTextRaw = 249,       // "-Ces 3 fichiers contiennent les données brutes (non compréssées)"
  kMsgTextSize = 250,      // "relatives au composantes  d'une image 24 bits de résolution :"
};

}  // namespace tessaran::rawrgb
