#include "platform/FontEngineMatch.h"

#include "platform/Ascii.h"

#include <array>
#include <fontconfig/fontconfig.h>
#include <memory>
#include <mutex>

namespace platform::text::detail {
namespace {

struct PatternDeleter {
    void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
using PatternPtr = std::unique_ptr<FcPattern, PatternDeleter>;

struct ConfigDeleter {
    void operator()(FcConfig* config) const { FcConfigDestroy(config); }
};
using ConfigPtr = std::unique_ptr<FcConfig, ConfigDeleter>;

const FcChar8* AsFc(const char* text) {
    return reinterpret_cast<const FcChar8*>(text);
}
const char* AsChar(const FcChar8* text) {
    return reinterpret_cast<const char*>(text);
}

// The process's one fontconfig configuration, loaded on first use. Matching goes through one
// lock because a configuration may rescan its font directories while it answers.
class FontConfig {
  public:
    static FontConfig& Instance() {
        static FontConfig instance;
        return instance;
    }

    PatternPtr Match(FcPattern& pattern) {
        std::lock_guard lock(mutex_);
        if (!config_) {
            return nullptr;
        }
        FcConfigSubstitute(config_.get(), &pattern, FcMatchPattern);
        FcDefaultSubstitute(&pattern);
        FcResult result = FcResultNoMatch;
        return PatternPtr(FcFontMatch(config_.get(), &pattern, &result));
    }

  private:
    FontConfig() : config_(FcInitLoadConfigAndFonts()) {}

    std::mutex mutex_;
    ConfigPtr config_;
};

// Windows character sets that name a script, turned into the language fontconfig should cover.
const char* LanguageOfCharset(uint8_t charset) {
    struct Entry {
        uint8_t charset;
        const char* language;
    };
    static constexpr std::array<Entry, 9> kLanguages{{{128, "ja"},
                                                      {129, "ko"},
                                                      {134, "zh-cn"},
                                                      {136, "zh-tw"},
                                                      {161, "el"},
                                                      {177, "he"},
                                                      {178, "ar"},
                                                      {204, "ru"},
                                                      {222, "th"}}};
    for (const Entry& entry : kLanguages) {
        if (entry.charset == charset) {
            return entry.language;
        }
    }
    return nullptr;
}

PatternPtr MatchFamily(std::string_view family, const FaceRequest& request) {
    PatternPtr pattern(FcPatternCreate());
    if (!pattern) {
        return nullptr;
    }
    const std::string name(family);
    FcPatternAddString(pattern.get(), FC_FAMILY, AsFc(name.c_str()));
    if (request.fixedPitch) {
        // A later family value only decides when the requested name is unknown, so an unknown
        // fixed-pitch request still gets a monospaced face.
        FcPatternAddString(pattern.get(), FC_FAMILY, AsFc("monospace"));
        FcPatternAddInteger(pattern.get(), FC_SPACING, FC_MONO);
    }
    FcPatternAddInteger(pattern.get(), FC_WEIGHT, FcWeightFromOpenType(request.weight));
    FcPatternAddInteger(pattern.get(), FC_SLANT, request.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    if (const char* language = LanguageOfCharset(request.charset)) {
        FcPatternAddString(pattern.get(), FC_LANG, AsFc(language));
    }
    return FontConfig::Instance().Match(*pattern);
}

bool HasFamily(const FcPattern& match, std::string_view family) {
    FcChar8* value = nullptr;
    for (int n = 0; FcPatternGetString(&match, FC_FAMILY, n, &value) == FcResultMatch; ++n) {
        if (EqualNoCase(AsChar(value), family)) {
            return true;
        }
    }
    return false;
}

std::optional<FaceFile> ReadMatch(const FcPattern& match) {
    FcChar8* file = nullptr;
    if (FcPatternGetString(&match, FC_FILE, 0, &file) != FcResultMatch || file == nullptr) {
        return std::nullopt;
    }
    FaceFile face;
    face.path = AsChar(file);
    FcPatternGetInteger(&match, FC_INDEX, 0, &face.index);
    FcChar8* family = nullptr;
    if (FcPatternGetString(&match, FC_FAMILY, 0, &family) == FcResultMatch && family != nullptr) {
        face.family = AsChar(family);
    }
    return face;
}

} // namespace

bool IsDefaultFaceName(std::string_view name) {
    return name.empty() || EqualNoCase(name, "MS Sans Serif") || EqualNoCase(name, "Default");
}

std::optional<FaceFile> MatchFace(const FaceRequest& request) {
    if (IsDefaultFaceName(request.family)) {
        // A metric-compatible face keeps text widths close to the ones the card was designed
        // with; fontconfig always answers something, so the family must be checked.
        for (const char* family : {"Liberation Sans", "DejaVu Sans"}) {
            const PatternPtr match = MatchFamily(family, request);
            if (match && HasFamily(*match, family)) {
                return ReadMatch(*match);
            }
        }
        const PatternPtr match = MatchFamily("sans-serif", request);
        return match ? ReadMatch(*match) : std::nullopt;
    }
    const PatternPtr match = MatchFamily(request.family, request);
    return match ? ReadMatch(*match) : std::nullopt;
}

} // namespace platform::text::detail
