// The simulated unit's reading of configuration lines: the body of a "#01" line (what
// follows "#01") is parsed into the unit's own record, the inverse of the tool's line
// builders.
//
// The unit keeps values as the wire carries them, which is also what its record stream
// sends back: persistences (PVAL) and NORMAL in tenths as received (" 50"), timer times as
// received ("12:00"), data-logger times as their digits ("00120"). An input or timer is
// enabled by its line; "LDDEF" resets the record to defaults.
//
// Quoted texts are not escaped: a text runs from its opening quote to the first quote
// after which the rest of the line reads as the line's options ("Fallo "A",RING" gives
// the text Fallo "A"). A text that itself contains a quote followed by a valid option list
// (the text a",C=5 of a line with no options) is ambiguous and is read the short way.
#pragma once

#include <string_view>

#include "model/configuration_record.h"

namespace zdl {

// Applies one configuration body ("+ALM0=\"Fallo UPS\",NC", "ID=Granja", "LDDEF") to the
// record. False, with the record unchanged, when the unit cannot parse it.
bool ApplyConfigBody(std::string_view body, ConfigurationRecord& record);

// "#58" + time (at least 5 digits) + 4 hex channel mask, given without "#58". False, and
// nothing changed, when malformed.
bool ApplyLoggerChannels(std::string_view value, ConfigurationRecord& record);
// "#5A" + 4 hex input mask + re-arm time (at least 4 digits), given without "#5A".
bool ApplyLoggerInputs(std::string_view value, ConfigurationRecord& record);

}  // namespace zdl
