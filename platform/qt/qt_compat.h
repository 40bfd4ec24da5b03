#pragma once

#include <QComboBox>
#include <QtGlobal>

// The toolkit builds against Qt 6 for velorin-map and against Qt 5.15 inside the
// QGIS plugin (QGIS's own Qt). The few places where the two differ are spelled
// here once, so the sources read the same for both.
namespace velorin::qt {

static_assert(QT_VERSION >= QT_VERSION_CHECK(5, 15, 0), "the toolkit needs Qt 5.15 or Qt 6");

// A person's pick in a drop-down list: Qt 5 overloads the signal with a text
// variant, Qt 6 has only the index.
inline constexpr auto kComboActivated = qOverload<int>(&QComboBox::activated);

}  // namespace velorin::qt
