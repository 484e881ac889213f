// The source's settings and properties: the table of keys (data/settings_keys.h) as OBS controls.
#include "source_config.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "data/settings_keys.h"
#include "data/palette_names.h"

namespace {

struct LookName {
  TunnelLook look;
  const char* value;
  const char* text;  // locale key
};
constexpr LookName kLooks[] = {
    {TunnelLook::Hd, "hd", "Look.Hd"},
    {TunnelLook::Classic, "classic", "Look.Classic"},
    {TunnelLook::ClassicNearest, "classic-nearest", "Look.ClassicNearest"},
};
constexpr const char* kSizes[] = {"1920x1080", "1280x720", "2560x1440", "3840x2160", "1080x1920", "1440x1080"};

std::vector<NamedPalette> DataSetPalettes(const std::filesystem::path& dataFolder) {
  std::vector<NamedPalette> palettes;
  std::string ignored;  // a data set without palettes leaves the list empty; the source says why when it starts
  ListNamedPalettes((dataFolder / "TavelDat").string(), palettes, ignored);
  return palettes;
}

bool AddAudioSource(void* list, obs_source_t* source) {
  if ((obs_source_get_output_flags(source) & OBS_SOURCE_AUDIO) == 0) return true;
  const char* name = obs_source_get_name(source);
  if (name && *name) obs_property_list_add_string(static_cast<obs_property_t*>(list), name, name);
  return true;
}

}  // namespace

bool ParseSourceSize(const char* text, int& width, int& height) {
  if (!text) return false;
  if (std::strcmp(text, kCanvasSize) == 0) {
    obs_video_info video{};
    if (!obs_get_video_info(&video)) return false;
    width = static_cast<int>(video.base_width);
    height = static_cast<int>(video.base_height);
    return width > 0 && height > 0;
  }
  int w = 0, h = 0, used = 0;
  if (std::sscanf(text, " %d x %d %n", &w, &h, &used) != 2 || text[used] != '\0') return false;
  if (w < 1 || h < 1 || w > kHdMaximumWidth || h > kHdMaximumHeight) return false;
  width = w;
  height = h;
  return true;
}

SourceConfig ReadSourceConfig(obs_data_t* settings, const std::filesystem::path& dataFolder) {
  SourceConfig config;
  config.audioSource = obs_data_get_string(settings, kAudioSourceKey);
  const char* look = obs_data_get_string(settings, kLookKey);
  for (const LookName& l : kLooks)
    if (std::strcmp(look, l.value) == 0) config.look = l.look;
  // A size that is not one (typed into the editable list) keeps the default rather than hiding the source.
  const char* size = obs_data_get_string(settings, kSizeKey);
  config.followsCanvas = ParseSourceSize(size, config.width, config.height) && std::strcmp(size, kCanvasSize) == 0;
  for (const SettingKey& key : SettingKeys()) {
    if (key.control == SettingControl::DisplayChoice) continue;
    if (key.control == SettingControl::CheckBox) {
      config.settings.*key.field = obs_data_get_bool(settings, key.name) ? 1 : 0;
    } else if (key.field) {
      const long long value = obs_data_get_int(settings, key.name);
      config.settings.*key.field = static_cast<std::int32_t>(std::clamp<long long>(value, key.minimum, key.maximum));
    } else {
      const char* path = obs_data_get_string(settings, key.name);
      std::snprintf(config.settings.TextureName, sizeof config.settings.TextureName, "%s", path);
    }
  }
  const std::string palette = obs_data_get_string(settings, kPaletteKey);
  const std::vector<NamedPalette> palettes = DataSetPalettes(dataFolder);
  for (std::size_t i = 0; i < palettes.size(); ++i)
    if (palettes[i].name == palette) config.palette = static_cast<int>(i);
  return config;
}

void SourceDefaults(obs_data_t* settings) {
  obs_data_set_default_string(settings, kAudioSourceKey, "");
  obs_data_set_default_string(settings, kLookKey, "hd");
  obs_data_set_default_string(settings, kSizeKey, kSizes[0]);
  obs_data_set_default_string(settings, kPaletteKey, "");
  const EffectSettings defaults;
  for (const SettingKey& key : SettingKeys()) {
    if (key.control == SettingControl::CheckBox)
      obs_data_set_default_bool(settings, key.name, defaults.*key.field != 0);
    else if (key.control != SettingControl::DisplayChoice && key.field)
      obs_data_set_default_int(settings, key.name, defaults.*key.field);
  }
}

obs_properties_t* SourceProperties(const std::filesystem::path& dataFolder) {
  obs_properties_t* props = obs_properties_create();
  obs_property_t* audio = obs_properties_add_list(props, kAudioSourceKey, obs_module_text("AudioSource"),
                                                  OBS_COMBO_TYPE_LIST, OBS_COMBO_FORMAT_STRING);
  obs_property_list_add_string(audio, obs_module_text("DesktopAudio"), "");
  obs_enum_sources(AddAudioSource, audio);

  obs_property_t* look =
      obs_properties_add_list(props, kLookKey, obs_module_text("Look"), OBS_COMBO_TYPE_LIST, OBS_COMBO_FORMAT_STRING);
  for (const LookName& l : kLooks) obs_property_list_add_string(look, obs_module_text(l.text), l.value);

  obs_property_t* size = obs_properties_add_list(props, kSizeKey, obs_module_text("Size"), OBS_COMBO_TYPE_EDITABLE,
                                                 OBS_COMBO_FORMAT_STRING);
  obs_property_list_add_string(size, obs_module_text("Size.Canvas"), kCanvasSize);
  for (const char* s : kSizes) obs_property_list_add_string(size, s, s);
  obs_property_set_long_description(size, obs_module_text("Size.Description"));

  obs_property_t* palette = obs_properties_add_list(props, kPaletteKey, obs_module_text("Palette"), OBS_COMBO_TYPE_LIST,
                                                    OBS_COMBO_FORMAT_STRING);
  for (const NamedPalette& p : DataSetPalettes(dataFolder))
    obs_property_list_add_string(palette, p.name.c_str(), p.name.c_str());

  for (const SettingKey& key : SettingKeys()) {
    obs_property_t* p = nullptr;
    const char* text = obs_module_text(key.name);
    switch (key.control) {
      case SettingControl::DisplayChoice:
        continue;
      case SettingControl::Slider:
        p = obs_properties_add_int_slider(props, key.name, text, key.minimum, key.maximum, 1);
        break;
      case SettingControl::PresetRadio:
        p = obs_properties_add_list(props, key.name, text, OBS_COMBO_TYPE_LIST, OBS_COMBO_FORMAT_INT);
        for (int i = key.minimum; i <= key.maximum; ++i)
          obs_property_list_add_int(p, obs_module_text(("RadioIndex." + std::to_string(i)).c_str()), i);
        break;
      case SettingControl::CheckBox:
        p = obs_properties_add_bool(props, key.name, text);
        break;
      case SettingControl::FileChooser:
        p = obs_properties_add_path(props, key.name, text, OBS_PATH_FILE, "Bitmap (*.bmp)", nullptr);
        break;
    }
    obs_property_set_long_description(p, key.help);
  }
  return props;
}
