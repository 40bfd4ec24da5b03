#!/usr/bin/python3
"""Writes a QGIS project for a Velorin map document: the same layers in the same
table-of-contents order and groups, drawn as the document draws them (simple and
unique value renderers become QGIS's single symbol and categorized renderers),
with their definition queries, visibility and extent.

    /usr/bin/python3 scripts/qgis/make_project.py out/sample/hydrology.json [out.qgz]

Without an output name the project is written next to the document, as
hydrology.qgz for hydrology.json. Needs QGIS's Python module (python3-qgis,
installed with qgis); no display is needed.
"""
import json
import os
import sys

os.environ.setdefault("QT_QPA_PLATFORM", "offscreen")

from qgis.core import (  # noqa: E402
    QgsApplication, QgsCategorizedSymbolRenderer, QgsFillSymbol, QgsLineSymbol,
    QgsMarkerSymbol, QgsProject, QgsRectangle, QgsRendererCategory,
    QgsSimpleFillSymbolLayer, QgsSimpleLineSymbolLayer, QgsSimpleMarkerSymbolLayer,
    QgsSimpleMarkerSymbolLayerBase, QgsSingleSymbolRenderer, QgsUnitTypes, QgsVectorLayer,
    QgsReferencedRectangle)
from qgis.PyQt.QtCore import Qt  # noqa: E402
from qgis.PyQt.QtGui import QColor  # noqa: E402

MARKERS = {"circle": QgsSimpleMarkerSymbolLayerBase.Circle,
           "square": QgsSimpleMarkerSymbolLayerBase.Square,
           "cross": QgsSimpleMarkerSymbolLayerBase.Cross,
           "x": QgsSimpleMarkerSymbolLayerBase.Cross2,
           "diamond": QgsSimpleMarkerSymbolLayerBase.Diamond}
LINES = {"solid": Qt.SolidLine, "dash": Qt.DashLine, "dot": Qt.DotLine,
         "dashDot": Qt.DashDotLine, "dashDotDot": Qt.DashDotDotLine, "null": Qt.NoPen,
         "insideFrame": Qt.SolidLine}
FILLS = {"solid": Qt.SolidPattern, "hollow": Qt.NoBrush, "horizontal": Qt.HorPattern,
         "vertical": Qt.VerPattern, "forwardDiagonal": Qt.BDiagPattern,
         "backwardDiagonal": Qt.FDiagPattern, "cross": Qt.CrossPattern,
         "diagonalCross": Qt.DiagCrossPattern}


def colour(values):
    return QColor(*values[:3]) if values else QColor(0, 0, 0)


def single(symbol, layer):
    # changeSymbolLayer takes the layer over; a list given to the constructor
    # would leave it to Python, which frees it with this function's locals.
    symbol.changeSymbolLayer(0, layer)
    return symbol


def symbol_of(spec):
    """A QGIS single-layer simple symbol for a document symbol; sizes stay in points."""
    if spec is None:
        return None
    kind = spec["type"]
    if kind == "simpleMarker":
        layer = QgsSimpleMarkerSymbolLayer(MARKERS.get(spec.get("style", "circle")),
                                           spec.get("size", 8.0))
        layer.setSizeUnit(QgsUnitTypes.RenderPoints)
        layer.setColor(colour(spec.get("color")))
        layer.setStrokeColor(colour(spec.get("color")))
        return single(QgsMarkerSymbol(), layer)
    if kind == "simpleLine":
        layer = QgsSimpleLineSymbolLayer(colour(spec.get("color")), spec.get("width", 1.0),
                                         LINES.get(spec.get("style", "solid")))
        layer.setWidthUnit(QgsUnitTypes.RenderPoints)
        return single(QgsLineSymbol(), layer)
    if kind == "simpleFill":
        outline = spec.get("outline")
        layer = QgsSimpleFillSymbolLayer(
            colour(spec.get("color")), FILLS.get(spec.get("style", "solid")),
            colour(outline.get("color")) if outline else QColor(0, 0, 0),
            LINES.get(outline.get("style", "solid")) if outline else Qt.NoPen,
            outline.get("width", 1.0) if outline else 0.0)
        layer.setStrokeWidthUnit(QgsUnitTypes.RenderPoints)
        return single(QgsFillSymbol(), layer)
    raise SystemExit("make_project: no QGIS symbol for a %s symbol" % kind)


def renderer_of(spec):
    if spec is None:
        return None
    if spec["type"] == "simple":
        symbol = symbol_of(spec.get("symbol"))
        return QgsSingleSymbolRenderer(symbol) if symbol else None
    if spec["type"] == "uniqueValue":
        field = spec["fields"][0]
        categories = []
        for value in spec.get("values", []):
            key = value["value"] if field.get("isString") else int(value["value"])
            categories.append(QgsRendererCategory(key, symbol_of(value["symbol"]),
                                                  value.get("label", value["value"])))
        if spec.get("useDefaultSymbol", True) and spec.get("defaultSymbol"):
            categories.append(QgsRendererCategory("", symbol_of(spec["defaultSymbol"]),
                                                  spec.get("defaultLabel", "<all other values>")))
        return QgsCategorizedSymbolRenderer(field["name"], categories)
    raise SystemExit("make_project: no QGIS renderer for a %s renderer" % spec["type"])


def add_layers(project, group, specs, folder):
    for spec in specs:
        if spec["kind"] == "group":
            child = group.addGroup(spec["name"])
            child.setItemVisibilityChecked(spec.get("visible", True))
            add_layers(project, child, spec.get("layers", []), folder)
            continue
        source = spec["source"]
        path = os.path.normpath(os.path.join(folder, source["path"]))
        layer = QgsVectorLayer("%s|layername=%s" % (path, source["layer"]), spec["name"], "ogr")
        if not layer.isValid():
            raise SystemExit("make_project: cannot read %s from %s" % (source["layer"], path))
        if spec.get("definitionQuery"):
            layer.setSubsetString(spec["definitionQuery"])
        renderer = renderer_of(spec.get("renderer"))
        if renderer is not None:
            layer.setRenderer(renderer)
        if spec.get("displayField"):
            layer.setDisplayExpression('"%s"' % spec["displayField"].replace('"', '""'))
        project.addMapLayer(layer, False)
        node = group.addLayer(layer)
        node.setItemVisibilityChecked(spec.get("visible", True))


def main(argv):
    if len(argv) not in (2, 3):
        raise SystemExit(__doc__)
    document_path = os.path.abspath(argv[1])
    output = argv[2] if len(argv) == 3 else os.path.splitext(document_path)[0] + ".qgz"
    with open(document_path, encoding="utf-8") as stream:
        document = json.load(stream)
    if document.get("velorinMapDocument") != 1:
        raise SystemExit("make_project: %s is not a Velorin map document" % argv[1])

    app = QgsApplication([], False)
    QgsApplication.setPrefixPath("/usr", True)
    app.initQgis()
    project = QgsProject.instance()
    project.setTitle(os.path.splitext(os.path.basename(document_path))[0])
    add_layers(project, project.layerTreeRoot(), document["layers"],
               os.path.dirname(document_path))
    layers = project.mapLayers().values()
    if layers:
        project.setCrs(next(iter(layers)).crs())
    extent = document.get("map", {}).get("extent")
    if extent:
        view = project.viewSettings()
        view.setDefaultViewExtent(QgsReferencedRectangle(
            QgsRectangle(extent["xMin"], extent["yMin"], extent["xMax"], extent["yMax"]),
            project.crs()))
    # The layers' paths are kept relative, so the project moves with its data.
    if not project.write(output):
        raise SystemExit("make_project: cannot write %s" % output)
    app.exitQgis()
    print(output)


if __name__ == "__main__":
    main(sys.argv)
