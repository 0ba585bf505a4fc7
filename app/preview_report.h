// The report of quorbel-preview: each template with its line ends, regions
// and room, the warnings, the input's values and where they land, a chart of
// them (preview_chart.h), and a summary line. It only words what the
// preview found and forecast; every byte outside printable ASCII that a
// name or a template line brings is shown as \xHH. The text is made in
// memory, so that the program writes it with the C library alone (no
// streams, which would triple the size of the program compiled for the web
// page).
#pragma once

#include <string>
#include <string_view>

#include "app/preview.h"

namespace quorbel {

// The report, each line ended by a line feed.
std::string previewReport(const Preview& preview, const Forecast& forecast);

// The line for standard error that names the first failure the run would
// meet, ended by a line feed; empty when there is none.
std::string failureLine(const Forecast& forecast);

// The text with each byte outside printable ASCII written as \xHH.
std::string printable(std::string_view text);

}  // namespace quorbel
