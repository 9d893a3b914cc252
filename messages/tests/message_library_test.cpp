#include "messages/message_library.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "messages/message_table.h"
#include "platform/console.h"
#include "platform/profile.h"

namespace tessaran {
namespace {

struct Reported {
  MessageKind kind;
  int number;
  std::string text;
};

class CapturingReporter : public MessageReporter {
 public:
  void Report(MessageKind kind, int number, std::string_view text) override {
    reports.push_back({kind, number, std::string(text)});
  }
  std::vector<Reported> reports;
};

class MessageLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override { InstallReporter(&reporter_); }
  void TearDown() override {
    InstallReporter(nullptr);
    InstallMessageText(nullptr);
  }

  static std::unique_ptr<MessageLibrary> Loaded(MessageProgram program, const char* name) {
    auto library = std::make_unique<MessageLibrary>(program);
    EXPECT_EQ(library->Load(name), LoadResult::Loaded) << name;
    return library;
  }

  CapturingReporter reporter_;
};

// The printf conversions of a text, in order ("%%" is not one).
std::vector<std::string> Conversions(const char* text) {
  std::vector<std::string> found;
  for (const char* p = std::strchr(text, '%'); p; p = std::strchr(p, '%')) {
    std::size_t length = 1 + std::strcspn(p + 1, "diouxXeEfFgGaAcspn%");
    if (p[length] == '\0') break;
    if (p[length] != '%' || length > 1) found.emplace_back(p, length + 1);
    p += length + 1;
  }
  return found;
}

TEST_F(MessageLibraryTest, EachLibraryHoldsExactlyItsCountOfTexts) {
  const struct {
    MessageProgram program;
    const char* name;
    int count;
  } libraries[] = {
      {MessageProgram::Modeler, "QMXAN.DLL", kModelerMessageCount},
      {MessageProgram::Modeler, "QMXFR.DLL", kModelerMessageCount},
      {MessageProgram::Renderer, "RZLNGFRA.DLL", kRendererMessageCount},
      {MessageProgram::Renderer, "RZLNGENG.DLL", kRendererMessageCount},
      {MessageProgram::Player, "TXLNGFRA.DLL", kRendererMessageCount},
      {MessageProgram::Player, "TXLNGENG.DLL", kRendererMessageCount},
  };
  for (const auto& expected : libraries) {
    auto library = Loaded(expected.program, expected.name);
    EXPECT_EQ(library->Count(), expected.count) << expected.name;
    int texts = 0;
    for (int number = 0; number < library->Count(); ++number)
      texts += library->RawText(number) != nullptr;
    EXPECT_EQ(texts, expected.count) << expected.name;
  }
}

// A translation that drops or reorders an argument would crash the program
// that formats it; a filter that loses a separator breaks the file dialog.
TEST_F(MessageLibraryTest, EveryLanguageKeepsTheArgumentsAndSeparators) {
  const struct {
    MessageProgram program;
    const char* first;
    const char* second;
  } pairs[] = {
      {MessageProgram::Modeler, "QMXAN.DLL", "QMXFR.DLL"},
      {MessageProgram::Renderer, "RZLNGFRA.DLL", "RZLNGENG.DLL"},
      {MessageProgram::Player, "TXLNGFRA.DLL", "TXLNGENG.DLL"},
      {MessageProgram::Player, "TXLNGFRA.DLL", "RZLNGFRA.DLL"},
  };
  for (const auto& pair : pairs) {
    auto first = Loaded(pair.program, pair.first);
    auto second = Loaded(pair.program, pair.second);
    ASSERT_EQ(first->Count(), second->Count());
    for (int number = 0; number < first->Count(); ++number) {
      std::string a = first->RawText(number), b = second->RawText(number);
      EXPECT_EQ(Conversions(a.c_str()), Conversions(b.c_str()))
          << pair.first << " / " << pair.second << " message " << number;
      EXPECT_EQ(std::count(a.begin(), a.end(), '\x01'), std::count(b.begin(), b.end(), '\x01'))
          << pair.first << " / " << pair.second << " message " << number;
    }
  }
}

TEST_F(MessageLibraryTest, TextsAreTheSystemsOwn) {
  auto modeler = Loaded(MessageProgram::Modeler, "QMXAN.DLL");
  EXPECT_EQ(modeler->Format(31), "Sorry, there is not enough memory ...");
  EXPECT_EQ(modeler->Format(89, 150), "TESSARAN's Modeler, 2D Phase, Zoom: 150 %");
  EXPECT_EQ(modeler->Caption(MessageKind::Error), " ERROR ");
  auto french = Loaded(MessageProgram::Modeler, "QMXFR.DLL");
  EXPECT_EQ(french->Caption(MessageKind::Warning), " ATTENTION ");
  EXPECT_EQ(french->Format(42), "Serveur DDE trop occupé");

  auto renderer = Loaded(MessageProgram::Renderer, "RZLNGFRA.DLL");
  EXPECT_EQ(renderer->Format(320, "BOULE.MAQ"),
            "Il n'y a pas de projet de rendu correspondant à votre maquette [BOULE.MAQ]\n"
            "Voulez-vous charger le projet par defaut [DEFAUT.RPJ] ?");
  EXPECT_EQ(renderer->Format(45, 640, 480, 100), "Résolution:(640 * 480) Ratio:100%");
  EXPECT_EQ(renderer->Caption(MessageKind::Information), "INFORMATION RENDERER");

  // The player's library is the renderer's with its own captions.
  auto player = Loaded(MessageProgram::Player, "TXLNGFRA.DLL");
  EXPECT_EQ(player->Format(208, "A.LBM"), "Erreur D'ouverture [A.LBM]");
  EXPECT_EQ(player->Format(156), "Mémoire insuffisante (création de l'image)");
  EXPECT_EQ(player->Caption(MessageKind::Error), "ERREUR PLAYER");
}

TEST_F(MessageLibraryTest, PictureReadersFindTheirMessagesInsideTheTable) {
  // The PCX and PPM readers' messages sit among the picture messages, within
  // the 326 numbers, in both languages and for the player as well.
  auto french = Loaded(MessageProgram::Player, "TXLNGFRA.DLL");
  EXPECT_EQ(french->Format(219), "Format PCX non reconnu.");
  EXPECT_EQ(french->Format(221), "Format PPM non reconnu.");
  EXPECT_EQ(french->Format(230, "A.PPM"), "Fichier [A.PPM] incomplet : la fin de l'image manque.");
  EXPECT_EQ(french->Format(231, 7), "PPM->VirtIm(07) ");
  EXPECT_EQ(french->Format(233), "Enregistrement PPM ");
  EXPECT_EQ(french->Format(241, 7), "TGA->VirtIm(07) ");
  auto english = Loaded(MessageProgram::Renderer, "RZLNGENG.DLL");
  EXPECT_EQ(english->Format(230, "A.PPM"), "File [A.PPM] incomplete: the end of the image is missing.");
  EXPECT_EQ(english->Format(231, 7), "PPM->VirtIm(07) ");
}

TEST_F(MessageLibraryTest, NumbersOutsideTheTableGiveTheFixedText) {
  auto modeler = Loaded(MessageProgram::Modeler, "QMXAN.DLL");
  auto renderer = Loaded(MessageProgram::Renderer, "RZLNGFRA.DLL");
  auto player = Loaded(MessageProgram::Player, "TXLNGENG.DLL");
  for (const auto& [library, number] : {std::pair{modeler.get(), 96},
                                        {modeler.get(), -1},
                                        {renderer.get(), 326},
                                        {renderer.get(), -5},
                                        {player.get(), 326}}) {
    EXPECT_EQ(library->Format(number), kMessageNotFound) << number;
    EXPECT_STREQ(library->GetMSG()(number), kMessageNotFound) << number;
  }
}

TEST_F(MessageLibraryTest, FilterSeparatorsComeOutAsNul) {
  auto renderer = Loaded(MessageProgram::Renderer, "RZLNGFRA.DLL");
  EXPECT_EQ(renderer->Format(33), std::string("Projet du RENDERER\0*.RPJ\0", 25));
  // The library's own GetMSG leaves them to the program.
  EXPECT_STREQ(renderer->GetMSG()(33), "Projet du RENDERER\x01*.RPJ\x01");
  std::string images = renderer->Format(99);
  EXPECT_EQ(std::count(images.begin(), images.end(), '\0'), 10);
  EXPECT_EQ(images.substr(0, 14), std::string("Toutes images\0", 14));
}

TEST_F(MessageLibraryTest, FormattingIsBoundedByTheProgramsBuffer) {
  const std::string longName(5000, 'N');
  auto modeler = Loaded(MessageProgram::Modeler, "QMXFR.DLL");
  auto renderer = Loaded(MessageProgram::Renderer, "RZLNGENG.DLL");
  EXPECT_EQ(modeler->Format(85, longName.c_str()).size(), kModelerMessageSize - 1u);
  EXPECT_EQ(std::strlen(modeler->GetMSG()(85, longName.c_str())), kModelerMessageSize - 1u);
  std::string text = renderer->Format(14, longName.c_str());
  EXPECT_EQ(text.size(), kRendererMessageSize - 1u);
  EXPECT_EQ(text.substr(0, 7), "Save [N");
  EXPECT_EQ(std::strlen(renderer->GetMSG()(14, longName.c_str())), kRendererMessageSize - 1u);
}

TEST_F(MessageLibraryTest, SwitchingLanguageAndBack) {
  MessageLibrary renderer(MessageProgram::Renderer);
  ASSERT_EQ(renderer.Load("RZLNGFRA.DLL"), LoadResult::Loaded);
  EXPECT_EQ(renderer.LanguageCode(), "FRA");
  EXPECT_EQ(renderer.Load("RZLNGENG.DLL"), LoadResult::Loaded);
  EXPECT_EQ(renderer.Caption(MessageKind::Warning), "RENDERER WARNING");
  EXPECT_EQ(renderer.LanguageCode(), "ENG");
  EXPECT_EQ(renderer.Load("RZLNGFRA.DLL"), LoadResult::Loaded);
  EXPECT_EQ(renderer.Caption(MessageKind::Warning), "AVERTISSEMENT RENDERER");
  EXPECT_TRUE(reporter_.reports.empty());
}

TEST_F(MessageLibraryTest, MissingLibraryKeepsTheCurrentLanguage) {
  auto modeler = Loaded(MessageProgram::Modeler, "QMXFR.DLL");
  EXPECT_EQ(modeler->Load("QMXDE.DLL"), LoadResult::KeptPrevious);
  EXPECT_EQ(modeler->SystemName(), "QMXFR.DLL");
  EXPECT_EQ(modeler->Format(2), " ERREUR ");
  ASSERT_EQ(reporter_.reports.size(), 1u);
  EXPECT_EQ(reporter_.reports[0].kind, MessageKind::Error);
  EXPECT_EQ(reporter_.reports[0].text,
            "MODELER ERROR: CAN NOT FIND THE FILE [QMXDE.DLL] LANGAGE BACK TO PREVIOUS ONE");
}

TEST_F(MessageLibraryTest, MissingLibraryWithNoneLoadedIsFatal) {
  const bool console = ConsoleEnabled();
  ConsoleSetEnabled(true);
  testing::internal::CaptureStderr();
  MessageLibrary player(MessageProgram::Player);
  EXPECT_EQ(player.Load("TXLNGDEU.DLL"), LoadResult::Fatal);
  std::string traces = testing::internal::GetCapturedStderr();
  ConsoleSetEnabled(console);

  EXPECT_FALSE(player.IsLoaded());
  EXPECT_EQ(player.Format(0), kMessageNotFound);
  EXPECT_NE(traces.find("Pas de DLL ressource depuis l'executable\n"), std::string::npos);
  ASSERT_EQ(reporter_.reports.size(), 1u);
  EXPECT_EQ(reporter_.reports[0].text,
            "PLAYER FATAL ERROR: CAN NOT FIND THE FILE [TXLNGDEU.DLL] PLAYER EXECUTION "
            "IMPOSSIBLE\nPLEASE CHECK YOUR TESSARAN INSTALLATION");
}

TEST_F(MessageLibraryTest, StartUpFollowsTheLanguageSetting) {
  const char* saved = std::getenv("TESSARAN_CONFIG");
  const std::string savedConfig = saved ? saved : "";
  const auto config =
      std::filesystem::temp_directory_path() / ("tessaran-messages-" + std::to_string(getpid()));
  std::filesystem::remove_all(config);
  setenv("TESSARAN_CONFIG", config.c_str(), 1);

  MessageLibrary modeler(MessageProgram::Modeler), renderer(MessageProgram::Renderer);
  EXPECT_TRUE(modeler.LoadConfigured());  // no settings file: English
  EXPECT_EQ(modeler.SystemName(), "QMXAN.DLL");
  ASSERT_TRUE(WriteProfileString("TESSARAN", "LANGUE", "FRA", "TESSARAN.INI"));
  EXPECT_TRUE(modeler.LoadConfigured());
  EXPECT_EQ(modeler.SystemName(), "QMXFR.DLL");
  EXPECT_TRUE(renderer.LoadConfigured());
  EXPECT_EQ(renderer.SystemName(), "RZLNGFRA.DLL");

  ConsoleSetEnabled(true);
  testing::internal::CaptureStderr();
  MessageLibrary player(MessageProgram::Player);
  EXPECT_TRUE(player.LoadConfigured());
  EXPECT_NE(testing::internal::GetCapturedStderr().find(
                "LoadLibrary[TXLNGFRA.DLL] OK\nNbMaxMESSAGE=326\n"),
            std::string::npos);
  ConsoleSetEnabled(false);

  ASSERT_TRUE(WriteProfileString("TESSARAN", "LANGUE", "XYZ", "TESSARAN.INI"));
  MessageLibrary unknown(MessageProgram::Renderer);
  EXPECT_FALSE(unknown.LoadConfigured());
  ASSERT_FALSE(reporter_.reports.empty());
  EXPECT_NE(reporter_.reports.back().text.find("[RZLNGXYZ.DLL] RENDERER EXECUTION IMPOSSIBLE"),
            std::string::npos);

  std::filesystem::remove_all(config);
  if (saved) {
    setenv("TESSARAN_CONFIG", savedConfig.c_str(), 1);
  } else {
    unsetenv("TESSARAN_CONFIG");
  }
}

TEST_F(MessageLibraryTest, NumberedMessagesOfCoreCodeTakeTheCurrentLanguage) {
  auto renderer = Loaded(MessageProgram::Renderer, "RZLNGFRA.DLL");
  InstallMessageText(renderer.get());
  ShowMessage(MessageKind::Warning, 18, "SCENE.MAQ");
  ASSERT_EQ(reporter_.reports.size(), 1u);
  EXPECT_EQ(reporter_.reports[0].number, 18);
  EXPECT_EQ(reporter_.reports[0].text, "Impossible d'ouvrir le fichier [SCENE.MAQ]");
  ASSERT_EQ(renderer->Load("RZLNGENG.DLL"), LoadResult::Loaded);
  EXPECT_EQ(MessageText(18, "SCENE.MAQ"), "Unable to open the file [SCENE.MAQ]");
}

// The command ids of a menu, in order.
std::vector<int> CommandIds(std::span<const ResourceItem> menu) {
  std::vector<int> ids;
  for (const ResourceItem& entry : menu) {
    if (entry.id > 0) ids.push_back(entry.id);
  }
  return ids;
}

TEST_F(MessageLibraryTest, RendererLanguagesOfferTheSameMenusAndDialogs) {
  auto french = Loaded(MessageProgram::Renderer, "RZLNGFRA.DLL");
  const std::vector<int> frenchIds = CommandIds(french->Menu("#1"));
  EXPECT_EQ(frenchIds, (std::vector<int>{110, 120, 130, 140, 150, 320, 160, 210, 220, 250, 261, 262, 310}));
  const std::string quit = french->Menu("#1")[9].text;
  EXPECT_EQ(quit, "&Quitter");

  // The switch swaps the menus with the library.
  ASSERT_EQ(french->Load("RZLNGENG.DLL"), LoadResult::Loaded);
  EXPECT_EQ(CommandIds(french->Menu("#1")), frenchIds);
  EXPECT_EQ(std::string(french->Menu("#1")[9].text), "&Quit");
  EXPECT_TRUE(french->Menu("#2").empty());

  // Every dialog has the same controls in both languages.
  auto english = Loaded(MessageProgram::Renderer, "RZLNGENG.DLL");
  ASSERT_EQ(french->Load("RZLNGFRA.DLL"), LoadResult::Loaded);
  for (const char* dialog : {"2100", "2400", "300", "200", "500", "2000", "2300", "2500", "2600"}) {
    std::vector<int> frenchControls, englishControls;
    for (const ResourceItem& item : french->Dialog(dialog)) frenchControls.push_back(item.id);
    for (const ResourceItem& item : english->Dialog(dialog)) englishControls.push_back(item.id);
    EXPECT_FALSE(frenchControls.empty()) << dialog;
    EXPECT_EQ(frenchControls, englishControls) << dialog;
  }
  EXPECT_EQ(french->DialogText("2100", 108), "Calculer");
  EXPECT_EQ(english->DialogText("2100", 108), "Compute");
  EXPECT_EQ(english->DialogText("2100", 9999), "");

  // The player's libraries hold its menu, the same commands in both languages.
  auto player = Loaded(MessageProgram::Player, "TXLNGENG.DLL");
  auto joueur = Loaded(MessageProgram::Player, "TXLNGFRA.DLL");
  std::vector<int> englishCommands, frenchCommands;
  for (const ResourceItem& item : player->Menu("#1")) englishCommands.push_back(item.id);
  for (const ResourceItem& item : joueur->Menu("#1")) frenchCommands.push_back(item.id);
  EXPECT_EQ(englishCommands, frenchCommands);
  EXPECT_EQ(joueur->DialogText("IDD_Info", 1), "&Arrêter");
}

}  // namespace
}  // namespace tessaran
