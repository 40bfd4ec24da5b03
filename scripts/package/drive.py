"""Runs Copy Legend Colors in the real QGIS application with the installed plugin,
and writes what it saw to the result file named by VELORIN_E2E_RESULT (JSON: "ok"
and one entry per check). Run by package_test.sh through QGIS's --code option
with the sample's project open; VELORIN_E2E_VERSION is the version the package
was built with, which QGIS's plugin manager must show.

QGIS runs this before its event loop starts: everything happens in a timer, and
modal dialogs are driven by timers armed before the click that opens them.
"""
import json
import os
import traceback

from qgis.core import QgsApplication, QgsCategorizedSymbolRenderer, QgsProject
from qgis.PyQt.QtCore import Qt, QTimer
from qgis.PyQt.QtTest import QTest
from qgis.PyQt.QtWidgets import QAction, QApplication, QComboBox, QMessageBox, QPushButton
from qgis.utils import iface

RESULT = os.environ["VELORIN_E2E_RESULT"]
VERSION = os.environ["VELORIN_E2E_VERSION"]
checks = []
boxes = []


def check(name, ok, detail=""):
    checks.append({"check": name, "ok": bool(ok), "detail": str(detail)})


def finish():
    with open(RESULT, "w", encoding="utf-8") as stream:
        json.dump({"ok": bool(checks) and all(c["ok"] for c in checks), "checks": checks},
                  stream, indent=1)
    # Closing the project first: QGIS 3.22 left to clear it while it takes
    # itself apart dies on signal 11 (its style dock is gone by then), plugin
    # or not, and a crash at the end must stay a finding.
    QgsProject.instance().clear()
    QgsApplication.instance().exit(0)


def answer_boxes():
    widget = QApplication.activeModalWidget()
    if isinstance(widget, QMessageBox) and widget.isVisible() and not widget.property("seen"):
        widget.setProperty("seen", True)
        boxes.append(widget.text())
        QTimer.singleShot(50, lambda: QTest.mouseClick(widget.button(QMessageBox.Ok),
                                                       Qt.LeftButton))


def when_modal(test, then, tries=200):
    """Runs then(dialog) once a modal dialog passing test is up (10 s at most)."""
    def poll(left):
        dialog = QApplication.activeModalWidget()
        if dialog is not None and dialog.isVisible() and test(dialog):
            then(dialog)
        elif left > 0:
            QTimer.singleShot(50, lambda: poll(left - 1))
    QTimer.singleShot(50, lambda: poll(tries))


def pick(dialog, name, text):
    combo = dialog.findChild(QComboBox, name)
    index = combo.findText(text)
    if index < 0:
        raise RuntimeError("%s has no entry %s" % (name, text))
    combo.setCurrentIndex(index)
    combo.activated[int].emit(index)


def plugin_manager_entry():
    """QGIS reads its C++ plugins' entries (keyed "cpp:" and the library's name)
    when the plugin manager opens."""
    seen = {}

    def read(dialog, left=100):
        # The entries fill in while the dialog starts: ask until ours is there.
        seen.update(iface.pluginManagerInterface().pluginMetadata("cpp:libvelorinqgis") or {})
        if seen or left == 0:
            dialog.reject()
        else:
            QTimer.singleShot(50, lambda: read(dialog, left - 1))

    when_modal(lambda dialog: dialog.objectName() == "QgsPluginManagerBase", read)
    iface.pluginManagerInterface().showPluginManager()
    check("the plugin manager lists Velorin %s" % VERSION,
          seen.get("name") == "Velorin" and seen.get("version_installed") == VERSION, seen)
    check("QGIS loaded the plugin from where the package put it",
          seen.get("library") == "/usr/lib/qgis/plugins/libvelorinqgis.so", seen.get("library"))


def copy_legend_colors():
    project = QgsProject.instance()
    catchments = project.mapLayersByName("Catchment")[0]
    junctions = project.mapLayersByName("NerroJunction")[0]

    def fill(dialog):
        try:
            pick(dialog, "cboLyr1", "Catchment")
            pick(dialog, "cboFld1", "NerroID")
            pick(dialog, "cboLyr2", "NerroJunction")
            pick(dialog, "cboFld2", "NerroID")
        except Exception:
            check("driving the dialog", False, traceback.format_exc())
            QTest.mouseClick(dialog.findChild(QPushButton, "cmdCancel"), Qt.LeftButton)
            return
        QTest.mouseClick(dialog.findChild(QPushButton, "cmdOK"), Qt.LeftButton)

    when_modal(lambda dialog: dialog.objectName() == "frmCopyLegend", fill)
    actions = iface.mainWindow().findChildren(QAction, "Velorin_CopyLegend")
    check("Copy Legend Colors is on QGIS's toolbar", actions)
    if not actions:
        return
    actions[0].trigger()
    check("Copy Legend Colors completes", boxes == ["Finished Copying Legend Colors"], boxes)

    renderer = junctions.renderer()
    check("junctions are categorized by NerroID",
          isinstance(renderer, QgsCategorizedSymbolRenderer)
          and renderer.classAttribute() == "NerroID", renderer.type())
    if isinstance(renderer, QgsCategorizedSymbolRenderer):
        source = {str(c.value()): c.symbol().color().name()
                  for c in catchments.renderer().categories()}
        copied = {str(c.value()): c.symbol().color().name() for c in renderer.categories()
                  if str(c.value()) not in ("", "NULL")}
        check("each junction value has its catchment's colour",
              copied and all(source.get(v) == colour for v, colour in copied.items()), copied)


def run():
    watcher = QTimer()
    watcher.timeout.connect(answer_boxes)
    watcher.start(50)
    try:
        plugin_manager_entry()
        copy_legend_colors()
    except Exception:
        check("the drive ran through", False, traceback.format_exc())
    watcher.stop()
    finish()


QTimer.singleShot(0, run)
