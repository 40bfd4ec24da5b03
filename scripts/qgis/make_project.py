#!/usr/bin/python3
"""Writes a QGIS project for a Velorin map document: the same layers in the same
table-of-contents order and groups, drawn as the document draws them (simple and
unique value renderers become QGIS's single symbol and categorized renderers),
with their definition queries, visibility and extent.

    /usr/bin/python3 scripts/qgis/make_project.py out/sample/hydrology.json [out.qgz]

Without an output name the project is written next to the document, as
hydrology.qgz for hydrology.json. With VELORIN_POSTGRES set to a connection
("host=127.0.0.1 port=5433 dbname=d user=u"), each layer is read instead from the
PostGIS table of its data set layer's name (public schema, geometry column geom,
key fid), as scripts/qgis/postgis_e2e.sh loads them. Needs QGIS's Python module (python3-qgis,
installed with qgis); no display is needed.
"""
import json
import os
import sys

os.environ.setdefault("QT_QPA_PLATFORM", "offscreen")

from qgis.core import (  # noqa: E402
    QgsApplication, QgsDataSourceUri, QgsCategorizedSymbolRenderer, QgsFillSymbol, QgsLineSymbol,
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


def symbol_of(described):
    """A QGIS single-layer simple symbol for a document symbol; sizes stay in points."""
    if described is None:
        return None
    kind = described["type"]
    if kind == "simpleMarker":
        layer = QgsSimpleMarkerSymbolLayer(MARKERS.get(described.get("style", "circle")),
                                           described.get("size", 8.0))
        layer.setSizeUnit(QgsUnitTypes.RenderPoints)
        layer.setColor(colour(described.get("color")))
        layer.setStrokeColor(colour(described.get("color")))
        return single(QgsMarkerSymbol(), layer)
    if kind == "simpleLine":
        layer = QgsSimpleLineSymbolLayer(colour(described.get("color")), described.get("width", 1.0),
                                         LINES.get(described.get("style", "solid")))
        layer.setWidthUnit(QgsUnitTypes.RenderPoints)
        return single(QgsLineSymbol(), layer)
    if kind == "simpleFill":
        outline = described.get("outline")
        layer = QgsSimpleFillSymbolLayer(
            colour(described.get("color")), FILLS.get(described.get("style", "solid")),
            colour(outline.get("color")) if outline else QColor(0, 0, 0),
            LINES.get(outline.get("style", "solid")) if outline else Qt.NoPen,
            outline.get("width", 1.0) if outline else 0.0)
        layer.setStrokeWidthUnit(QgsUnitTypes.RenderPoints)
        return single(QgsFillSymbol(), layer)
    raise SystemExit("make_project: no QGIS symbol for a %s symbol" % kind)


def renderer_of(described):
    if described is None:
        return None
    if described["type"] == "simple":
        symbol = symbol_of(described.get("symbol"))
        return QgsSingleSymbolRenderer(symbol) if symbol else None
    if described["type"] == "uniqueValue":
        field = described["fields"][0]
        categories = []
        for value in described.get("values", []):
            key = value["value"] if field.get("isString") else int(value["value"])
            categories.append(QgsRendererCategory(key, symbol_of(value["symbol"]),
                                                  value.get("label", value["value"])))
        if described.get("useDefaultSymbol", True) and described.get("defaultSymbol"):
            categories.append(QgsRendererCategory("", symbol_of(described["defaultSymbol"]),
                                                  described.get("defaultLabel", "<all other values>")))
        return QgsCategorizedSymbolRenderer(field["name"], categories)
    raise SystemExit("make_project: no QGIS renderer for a %s renderer" % described["type"])


def open_layer(source, name, folder):
    connection = os.environ.get("VELORIN_POSTGRES")
    if connection:
        uri = QgsDataSourceUri(connection)
        uri.setDataSource("public", source["layer"], "geom", "", "fid")
        layer = QgsVectorLayer(uri.uri(False), name, "postgres")
        where = "table %s of %s" % (source["layer"], connection)
    else:
        path = os.path.normpath(os.path.join(folder, source["path"]))
        layer = QgsVectorLayer("%s|layername=%s" % (path, source["layer"]), name, "ogr")
        where = "%s from %s" % (source["layer"], path)
    if not layer.isValid():
        raise SystemExit("make_project: cannot read " + where)
    return layer


def add_layers(project, group, layers, folder):
    for described in layers:
        if described["kind"] == "group":
            child = group.addGroup(described["name"])
            child.setItemVisibilityChecked(described.get("visible", True))
            add_layers(project, child, described.get("layers", []), folder)
            continue
        source = described["source"]
        layer = open_layer(source, described["name"], folder)
        if described.get("definitionQuery"):
            layer.setSubsetString(described["definitionQuery"])
        renderer = renderer_of(described.get("renderer"))
        if renderer is not None:
            layer.setRenderer(renderer)
        if described.get("displayField"):
            layer.setDisplayExpression('"%s"' % described["displayField"].replace('"', '""'))
        project.addMapLayer(layer, False)
        node = group.addLayer(layer)
        node.setItemVisibilityChecked(described.get("visible", True))


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
