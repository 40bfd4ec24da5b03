"""Drives Velorin inside the real QGIS application, as a person would, and writes
what it saw to the result file named by VELORIN_E2E_RESULT (JSON: "ok" and one
entry per check). Run by e2e.sh through QGIS's --code option with the sample's
project open; the plugin must be enabled. With VELORIN_E2E_SHOTS set, it also
saves a screenshot of each tool there.

QGIS runs this before its event loop starts: everything happens in a timer, and
modal dialogs and boxes are driven by timers armed before the click that opens
them (they fire inside the dialog's own loop).
"""
import json
import os
import time
import traceback

from qgis.core import NULL, QgsApplication, QgsCategorizedSymbolRenderer, QgsProject
from qgis.PyQt.QtCore import Q_ARG, QMetaObject, QObject, Qt, QTimer
from qgis.PyQt.QtTest import QTest
from qgis.PyQt.QtWidgets import (QAction, QApplication, QCheckBox, QComboBox, QLineEdit,
                                 QMessageBox, QPushButton)
from qgis.utils import iface

RESULT = os.environ["VELORIN_E2E_RESULT"]
SHOTS = os.environ.get("VELORIN_E2E_SHOTS", "")
checks = []
boxes = []  # texts of the message boxes seen, in order
extents = []  # the canvas extents during a run


def check(name, ok, detail=""):
    checks.append({"check": name, "ok": bool(ok), "detail": str(detail)})


def finish():
    with open(RESULT, "w", encoding="utf-8") as stream:
        json.dump({"ok": bool(checks) and all(c["ok"] for c in checks), "checks": checks},
                  stream, indent=1)
    QgsProject.instance().setDirty(False)
    QgsApplication.instance().exit(0)


def wait_until(condition, seconds=10.0):
    end = time.monotonic() + seconds
    while not condition() and time.monotonic() < end:
        QApplication.processEvents()
        time.sleep(0.02)
    return condition()


def settle():
    canvas = iface.mapCanvas()
    canvas.refresh()
    wait_until(lambda: not canvas.isDrawing(), 5)
    canvas.waitWhileRendering()
    QApplication.processEvents()


def screenshot(name):
    """The whole screen, dialogs included, once everything has painted."""
    if SHOTS:
        os.makedirs(SHOTS, exist_ok=True)
        QTest.qWait(400)
        QApplication.primaryScreen().grabWindow(0).save(os.path.join(SHOTS, name))


def answer_boxes():
    """Notes every message box and presses its OK, as a person reading it would."""
    widget = QApplication.activeModalWidget()
    if isinstance(widget, QMessageBox) and widget.isVisible() and not widget.property("seen"):
        widget.setProperty("seen", True)
        boxes.append(widget.text())
        QTimer.singleShot(50, lambda: QTest.mouseClick(widget.button(QMessageBox.Ok),
                                                       Qt.LeftButton))


def action(name):
    for found in iface.mainWindow().findChildren(QAction, name):
        return found
    return None


def pick(dialog, name, text):
    combo = dialog.findChild(QComboBox, name)
    index = combo.findText(text)
    if index < 0:
        raise RuntimeError("%s has no entry %s" % (name, text))
    combo.setCurrentIndex(index)
    combo.activated[int].emit(index)


def type_into(dialog, name, text):
    edit = dialog.findChild(QLineEdit, name)
    edit.setFocus()
    edit.selectAll()
    QTest.keyClicks(edit, text)


def press(dialog, name):
    QTest.mouseClick(dialog.findChild(QPushButton, name), Qt.LeftButton)


def when_dialog(name, then):
    """Runs then(dialog) once the modal dialog of that name is up."""
    def poll():
        dialog = QApplication.activeModalWidget()
        if dialog is not None and dialog.objectName() == name and dialog.isVisible():
            try:
                then(dialog)
            except Exception:  # the dialog must not stay up on a failed step
                check("driving " + name, False, traceback.format_exc())
                press(dialog, "cmdCancel")
        else:
            QTimer.singleShot(50, poll)
    QTimer.singleShot(50, poll)


def layer(name):
    return QgsProject.instance().mapLayersByName(name)[0]


def zoom_and_flash():
    catchments, junctions = layer("Catchment"), layer("NerroJunction")
    chosen = sorted(catchments.allFeatureIds())[:2]
    catchments.selectByIds(chosen)
    canvas = iface.mapCanvas()
    canvas.extentsChanged.connect(lambda: extents.append(canvas.extent()))

    def fill(dialog):
        pick(dialog, "cboLyr1", "Catchment")
        pick(dialog, "cboFld1", "NerroID")
        pick(dialog, "cboLyr2", "NerroJunction")
        pick(dialog, "cboFld2", "NerroID")
        type_into(dialog, "txtSrcFlashTime", "0.2")
        type_into(dialog, "txtRelFlashTime", "0.2")
        if not dialog.findChild(QCheckBox, "chkFull").isChecked():
            QTest.mouseClick(dialog.findChild(QCheckBox, "chkFull"), Qt.LeftButton)
        screenshot("qgis-zoom-flash.png")
        # Esc on QGIS's map while the run flashes: the run pauses, OK goes on.
        QTimer.singleShot(400, lambda: QTest.keyClick(iface.mapCanvas(), Qt.Key_Escape))
        press(dialog, "cmdOK")

    when_dialog("frmZoomFlash", fill)
    del boxes[:]
    action("Velorin_ZoomFlash").trigger()
    check("Esc in QGIS's window pauses the run", boxes[:1] and boxes[0].startswith("Paused at "),
          boxes)
    check("Zoom and Flash completes", boxes[-1:] == ["Finished with Zoom and Flash Operation"],
          boxes)
    for fid in chosen:
        feature = catchments.getFeature(fid)
        wanted = feature.geometry().boundingBox()
        key = feature["NerroID"]
        for junction in junctions.getFeatures("NerroID = %d" % key):
            wanted.combineExtentWith(junction.geometry().boundingBox())
        check("zoomed to catchment %d with its junctions" % key,
              any(extent.contains(wanted) and extent.width() < 3 * max(wanted.width(), 1)
                  for extent in extents), [e.toString(0) for e in extents])
    catchments.removeSelection()


def is_other(value):
    """The category of all other values has an empty or null value."""
    return value is None or value == NULL or str(value) == ""


def copy_legend_colors():
    catchments, junctions = layer("Catchment"), layer("NerroJunction")

    def fill(dialog):
        pick(dialog, "cboLyr1", "Catchment")
        pick(dialog, "cboFld1", "NerroID")
        pick(dialog, "cboLyr2", "NerroJunction")
        pick(dialog, "cboFld2", "NerroID")
        press(dialog, "cmdOK")

    when_dialog("frmCopyLegend", fill)
    del boxes[:]
    action("Velorin_CopyLegend").trigger()
    check("Copy Legend Colors completes", boxes == ["Finished Copying Legend Colors"], boxes)

    renderer = junctions.renderer()
    check("junctions are categorized by NerroID",
          isinstance(renderer, QgsCategorizedSymbolRenderer)
          and renderer.classAttribute() == "NerroID", renderer.type())
    if not isinstance(renderer, QgsCategorizedSymbolRenderer):
        return
    source = {str(c.value()): c.symbol().color().name()
              for c in catchments.renderer().categories() if not is_other(c.value())}
    copied = {str(c.value()): c.symbol().color().name()
              for c in renderer.categories() if not is_other(c.value())}
    check("each junction value has its catchment's colour",
          copied and all(source.get(value) == colour for value, colour in copied.items()),
          copied)

    # On the screen: the centre of each junction's marker is its catchment's colour.
    root = QgsProject.instance().layerTreeRoot()
    root.findLayer(layer("MonitoringPoint").id()).setItemVisibilityChecked(False)
    canvas = iface.mapCanvas()
    canvas.setExtent(catchments.extent())
    settle()
    image = canvas.grab().toImage()
    to_pixel = canvas.mapSettings().mapToPixel()
    ratio = image.width() / canvas.width()
    misses = []
    for junction in junctions.getFeatures():
        point = to_pixel.transform(junction.geometry().asPoint())
        x, y = int(round(point.x() * ratio)), int(round(point.y() * ratio))
        seen = image.pixelColor(x, y).name()
        if seen != source.get(str(junction["NerroID"])):
            misses.append((junction["JunctionID"], seen, source.get(str(junction["NerroID"]))))
    check("the canvas draws each junction in its catchment's colour", not misses, misses)
    root.findLayer(catchments.id()).setExpanded(False)
    root.findLayer(junctions.id()).setExpanded(True)
    screenshot("qgis-copy-legend.png")


def host_fault():
    seam = iface.mainWindow().findChild(QObject, "velorinFaults")
    QMetaObject.invokeMethod(seam, "failHostCall", Qt.DirectConnection,
                             Q_ARG(str, "IMxDocument::FocusMap"), Q_ARG(int, 1))
    del boxes[:]
    action("Velorin_ZoomFlash").trigger()
    check("a host fault gives one error box",
          len(boxes) == 1 and boxes[0].startswith("Error -2147467259: Injected failure"), boxes)

    opened = []
    when_dialog("frmZoomFlash", lambda dialog: (opened.append(True), press(dialog, "cmdCancel")))
    del boxes[:]
    action("Velorin_ZoomFlash").trigger()
    check("the next click works", opened == [True] and boxes == [], (opened, boxes))


def run():
    try:
        check("both commands are on QGIS's toolbar",
              action("Velorin_ZoomFlash") is not None and action("Velorin_CopyLegend") is not None)
        watcher = QTimer()
        watcher.timeout.connect(answer_boxes)
        watcher.start(50)
        # No window manager on the virtual screen: the window takes all of it.
        iface.mainWindow().setGeometry(QApplication.primaryScreen().availableGeometry())
        iface.mapCanvas().setExtent(layer("Catchment").extent())
        settle()
        zoom_and_flash()
        copy_legend_colors()
        host_fault()
        watcher.stop()
    except Exception:
        check("the drive ran through", False, traceback.format_exc())
    finish()


QTimer.singleShot(0, run)
