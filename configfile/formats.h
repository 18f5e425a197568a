// The two file formats behind LoadConfigBytes and SaveConfigFile (internal to configfile/).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "configfile/config_file.h"
#include "configfile/ini_document.h"

namespace zdl::configfile {

inline constexpr std::string_view kVersionSection = "General";
inline constexpr std::string_view kVersionKey = "VERSION";
inline constexpr std::string_view kVersionTag = "ZDL410";

// A keyed file is one whose General VERSION is exactly "ZDL410".
bool IsKeyed(const IniDocument& doc);

// Reads every key of the keyed format into `record` (already cleared for the load), in
// the writer's order. Returns the description of the first failure, if any.
std::optional<BilingualText> ReadKeyed(const IniDocument& doc, ConfigurationRecord& record);

// True when the first line carries the sequential format's tag.
bool IsSequential(std::string_view bytes);

// Reads a sequential file into `record` (already cleared). The outcome's status is
// Loaded, LoadedNewer, NotConfigFile or Failed; it names the format and version.
LoadOutcome ReadSequential(std::string_view bytes, ConfigurationRecord& record);

// A short UTF-8 rendering of a file value for a failure description.
std::string QuoteForMessage(std::string_view value);

}  // namespace zdl::configfile
