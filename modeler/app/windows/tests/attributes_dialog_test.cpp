// The object attribute dialog and its map dialog: the defaults, presets
// and swatch, a material set through the window's "General" command and
// read back from the saved file, and "See" received by a test renderer as
// the 504-byte material block.
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSpinBox>
#include <fstream>

#include "link/material_block.h"
#include "modeler/app/object_material.h"
#include "modeler/app/windows/attributes_dialog.h"
#include "modeler/app/windows/map_type_dialog.h"
#include "modeler/app/windows/modeler_link.h"
#include "modeler/app/windows/modeler_window.h"
#include "modeler/app/windows/tests/modeler_fixture.h"
#include "scene/maq_file.h"

namespace tessaran {
namespace {

class AttributesTest : public ModelerTest {
 protected:
  std::unique_ptr<ModelerWindow> OpenWindow(ModelerLink* link = nullptr) {
    ModelerSettings settings;
    settings.dataDirectory = dir_;
    auto window = std::make_unique<ModelerWindow>(*scene_, library_, settings, link);
    window->show();
    window->Command(kCmdModeller);
    return window;
  }
  // Sets the dialog's scroll bars to the material's values.
  static void SetBars(AttributesDialog& d, const ObjectMaterial& m) {
    const int values[] = {m.red,       m.green,      m.blue,         m.intensity,
                          m.diffusion, m.reflection, m.transparency, m.refraction};
    for (int i = 0; i < 8; ++i) d.Bar(static_cast<AttributeBar>(i))->setValue(values[i]);
  }
  // The picker without its library: the plain file dialog stands in.
  ImagePicker picker_{fs::temp_directory_path() / "no-picker-here"};
  bool preview_ = false;
};

TEST_F(AttributesTest, DefaultPresetsSwatchAndRenderingText) {
  ObjectMaterial material;
  material.rendering = SurfaceRendering::Angular;
  AttributesDialog dialog(library_, material, picker_, preview_, dir_, {}, nullptr);
  EXPECT_EQ(dialog.RenderingText()->text(), "ANGULAR Rendering");
  EXPECT_EQ(dialog.MapText(ObjectMap::Bump)->text(), "No Mapping");
  dialog.Bar(AttributeBar::Red)->setValue(15);
  dialog.Bar(AttributeBar::Blue)->setValue(1);
  EXPECT_EQ(dialog.Swatch()->palette().color(QPalette::Window), QColor(240, 192, 16));
  dialog.ApplyPreset(MaterialPreset::Mirror);
  EXPECT_EQ(dialog.Shown().reflection, 100);
  // An aspect changes the highlight alone.
  dialog.ApplyPreset(MaterialPreset::Flat);
  EXPECT_EQ(dialog.Shown().reflection, 100);
  EXPECT_EQ(dialog.Shown().intensity, 0);
  dialog.ApplyPreset(MaterialPreset::Glass);
  EXPECT_EQ(dialog.Shown().refraction, 25);
  // "Default": colour 12, 12, 12, intensity and diffusion 50, the rest 0, spline.
  dialog.DefaultButton()->click();
  EXPECT_EQ(dialog.Shown(), ObjectMaterial{});
  EXPECT_EQ(dialog.RenderingText()->text(), "SPLINE Rendering");
  // Cancelled, the material stays as it was.
  dialog.reject();
  EXPECT_EQ(material.rendering, SurfaceRendering::Angular);
}

TEST_F(AttributesTest, TheMapDialogTakesAPictureFromThePicker) {
  const fs::path picture = dir_ / "WOOD.LBM";
  std::ofstream(picture) << "x";
  MaterialMap map;
  MapTypeDialog dialog(library_, ObjectMap::Opacity, map, picker_, preview_, dir_, nullptr);
  EXPECT_EQ(dialog.windowTitle(), "OPACITY Mapping Definition");
  QString filters;
  AnswerNextDialog(QDialog::Accepted, [&](QDialog* shown) {
    auto* files = static_cast<QFileDialog*>(shown);
    filters = files->nameFilters().join("|");
    files->selectFile(QString::fromStdString(picture.string()));
    shown->accept();
  });
  dialog.Choose();
  EXPECT_TRUE(filters.startsWith("All images (*.lbm *.pcx *.bmp *.tga *.i24)")) << filters.toStdString();
  EXPECT_EQ(dialog.Image()->text().toStdString(), picture.string());
  dialog.Spherical()->setChecked(true);
  dialog.RepeatX()->setValue(4);
  dialog.accept();
  EXPECT_EQ(map, (MaterialMap{kSphericalMap, 4, 1, picture.string()}));
}

TEST_F(AttributesTest, TheMaterialOfTheSelectionIsSavedAndReadBack) {
  AddBox(*scene_);
  AddBox(*scene_);
  auto window = OpenWindow();
  ObjectMaterial wanted;
  wanted.red = 3;
  wanted.green = 14;
  wanted.blue = 7;
  wanted.intensity = 90;
  wanted.diffusion = 15;
  wanted.reflection = 33;
  wanted.transparency = 44;
  wanted.refraction = 55;
  wanted.rendering = SurfaceRendering::Phong;
  wanted.maps[1] = {kParametricMap, 3, 2, "BUMPS.LBM"};
  AnswerNextDialog(QDialog::Accepted, [&](QDialog* shown) {
    auto& dialog = *static_cast<AttributesDialog*>(shown);
    SetBars(dialog, wanted);
    dialog.RenderingButton(SurfaceRendering::Phong)->setChecked(true);
    // The bump map through its own dialog.
    AnswerNextDialog(QDialog::Accepted, [](QDialog* map) {
      auto& typmap = *static_cast<MapTypeDialog*>(map);
      typmap.Image()->setText("BUMPS.LBM");
      typmap.RepeatX()->setValue(3);
      typmap.RepeatY()->setValue(2);
      typmap.accept();
    });
    dialog.MapButton(ObjectMap::Bump)->click();
    EXPECT_EQ(dialog.MapText(ObjectMap::Bump)->text(), "BUMPS.LBM");
    dialog.accept();
  });
  window->Command(kCmdAttributes);
  const fs::path file = dir_ / "MATERIAL.MAQ";
  ASSERT_EQ(WriteMaq(*scene_, file), 1);
  SceneModel read;
  ASSERT_EQ(ReadModel(read, file, ReadMode::Open), 0);
  EXPECT_EQ(MaterialOf(read, 1), wanted);
  // The object not selected keeps the new object's material.
  EXPECT_EQ(MaterialOf(read, 0), ObjectMaterial{});
  // Cancelled, nothing changes.
  AnswerNextDialog(QDialog::Rejected, [](QDialog* shown) {
    static_cast<AttributesDialog*>(shown)->DefaultButton()->click();
  });
  window->Command(kCmdAttributes);
  EXPECT_EQ(MaterialOf(*scene_, 1), wanted);
}

TEST_F(AttributesTest, SeePokesTheMaterialShownToTheRenderer) {
  RecordingServer renderer(link::kRendererService);
  ASSERT_TRUE(renderer.registered);
  const std::unique_ptr<ModelerLink> link = ModelerLink::Start();
  ASSERT_NE(link, nullptr);
  AddBox(*scene_);
  auto window = OpenWindow(link.get());
  AnswerNextDialog(QDialog::Rejected, [&](QDialog* shown) {
    auto& dialog = *static_cast<AttributesDialog*>(shown);
    dialog.Bar(AttributeBar::Red)->setValue(15);
    dialog.Bar(AttributeBar::Green)->setValue(0);
    dialog.Bar(AttributeBar::Blue)->setValue(4);
    dialog.ApplyPreset(MaterialPreset::Diamond);
    dialog.SeeButton()->click();
  });
  window->Command(kCmdAttributes);
  ASSERT_EQ(renderer.pokes.size(), 1u);
  const link::Frame& poke = renderer.pokes.front();
  EXPECT_EQ(poke.item, link::kMaterialItem);
  ASSERT_EQ(poke.data.size(), link::kMaterialBlockSize);
  link::MaterialBlock block;
  ASSERT_TRUE(link::ParseMaterialBlock(poke.data, block));
  EXPECT_EQ(block.Col(), 0x0F04);
  EXPECT_EQ(block.Reflection(), 30);
  EXPECT_EQ(block.Transmission(), 90);
  EXPECT_EQ(block.Refraction(), 71);
  EXPECT_EQ(block.KSpec(), 100);
  EXPECT_EQ(block.NSpec(), 5);
  EXPECT_FALSE(block.hasMaps);
  // "See" changes nothing in the model; the dialog was cancelled.
  EXPECT_EQ(MaterialOf(*scene_, 0), ObjectMaterial{});
}

}  // namespace
}  // namespace tessaran
