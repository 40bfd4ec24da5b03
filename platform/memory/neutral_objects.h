#pragma once

#include "platform/objects/cancel_tracker.h"
#include "platform/objects/fields.h"
#include "platform/objects/geometry.h"
#include "platform/objects/host_context.h"
#include "platform/objects/query_filter.h"
#include "platform/objects/renderers.h"
#include "platform/objects/set.h"
#include "platform/objects/status_bar.h"
#include "platform/objects/symbol_look.h"
#include "platform/objects/symbols.h"

// The host-neutral objects the reference host is built of, named in its own
// namespace so that its sources read as one host.
namespace velorin::memory {

using objects::Announce;
using objects::CancelTracker;
using objects::ClauseOf;
using objects::DrawRecord;
using objects::EnvelopeGeometry;
using objects::ExtentRecord;
using objects::FaultInjector;
using objects::Field;
using objects::FieldKind;
using objects::Fields;
using objects::FieldTypeName;
using objects::FillStyle;
using objects::GeometryBag;
using objects::HostContext;
using objects::HostHooks;
using objects::HostRecord;
using objects::KindOfFieldType;
using objects::LinePen;
using objects::LineStyle;
using objects::MakeDefaultRenderer;
using objects::MakeEnvelope;
using objects::MakeMultipoint;
using objects::MakePoint;
using objects::MakePolygon;
using objects::MakePolyline;
using objects::MakeRgbColor;
using objects::MarkerShape;
using objects::MultiPartGeometry;
using objects::Path;
using objects::PictureMarkerSymbol;
using objects::PixelsPerPoint;
using objects::PointGeometry;
using objects::ProgressRecord;
using objects::QueryFilter;
using objects::QuietHost;
using objects::ReadSymbol;
using objects::Rgb;
using objects::RgbColor;
using objects::SameName;
using objects::Set;
using objects::SimpleFillSymbol;
using objects::SimpleLineSymbol;
using objects::SimpleMarkerSymbol;
using objects::SimpleRenderer;
using objects::SingleSymbolPropertyPageClassID;
using objects::StatusBar;
using objects::StepProgressor;
using objects::StoredValue;
using objects::SymbolBase;
using objects::SymbolKind;
using objects::SymbolLook;
using objects::SymbolShapeChanges;
using objects::TryReadSymbol;
using objects::UniqueValuePropertyPage;
using objects::UniqueValuePropertyPageClassID;
using objects::UniqueValueRenderer;
using objects::XY;

}  // namespace velorin::memory
