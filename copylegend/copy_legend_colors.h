#pragma once

#include <memory>

#include "copylegend/copy_legend_parameters.h"
#include "host/application.h"

namespace velorin::copylegend {

// Gives the Related layer a new unique value renderer keyed on the Related field,
// holding one value per distinct Source key text, each drawn with a simple
// symbol in the colour the Source layer's renderer draws the first Source
// feature carrying that text with; unmatched Related features get a default
// hatched, crossed or dashed symbol.
//
// Returns true when the run did not complete: a validation message was shown
// (one OK-only box, nothing changed, no progress bar, no refresh) or the user
// pressed Esc (no box; the progress bar is hidden and the view refreshed).
// Returns false once the new renderer is installed, the view refreshed and the
// table of contents updated.
//
// Raises velorin::Error for a Source feature whose symbol is not simple (2021)
// and for any failing host call; the run then stops where it stood, with the
// Related layer's renderer untouched and the progress bar as it was.
// The application must not be empty.
bool CopyLegendColors(const std::shared_ptr<host::IApplication>& application,
                      const CopyLegendParameters& parameters);

}  // namespace velorin::copylegend
