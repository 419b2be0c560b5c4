"""Opens the Correlation Analysis dialog in a Calc with a display, takes
screenshots, fills it and presses OK through the accessibility interface,
and reports what landed in the document. Not part of ctest (it needs an X
server); run under Xvfb:

    Xvfb :99 -screen 0 1280x900x24 &
    DISPLAY=:99 /usr/bin/python3 tests/calc/dialog_trial.py --oxt build/nmlcorrelation.oxt --out /tmp/dialog
"""
import argparse
import os
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
os.environ["NML_OFFICE_DISPLAY"] = "1"
from office_session import OfficeSession, load_csv  # noqa: E402

DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data")


def shot(out, name):
    path = os.path.join(out, name + ".png")
    subprocess.run(["import", "-window", "root", path], check=True)
    print("screenshot", path, flush=True)


def accessible_children(acc, depth=0, found=None):
    """(role, name, context) of every accessible below acc."""
    found = [] if found is None else found
    ctx = acc.getAccessibleContext()
    found.append((ctx.getAccessibleRole(), ctx.getAccessibleName(), ctx))
    if depth < 8:
        for i in range(ctx.getAccessibleChildCount()):
            accessible_children(ctx.getAccessibleChild(i), depth + 1, found)
    return found


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--oxt", required=True)
    ap.add_argument("--out", default="/tmp/nml-dialog")
    args = ap.parse_args()
    os.makedirs(args.out, exist_ok=True)
    # Under Xvfb the office now and then fails to open the display on its
    # first start in a fresh profile; a second start works.
    for attempt in range(3):
        try:
            office = OfficeSession(args.oxt).__enter__()
            break
        except RuntimeError as e:
            print("retrying:", e, flush=True)
    try:
        trial(office, args)
    finally:
        office.stop()


def trial(office, args):
    if True:
        doc = office.new_calc(hidden=False)
        doc.Sheets.getByIndex(0).Name = "Data"
        load_csv(doc, "Data", os.path.join(DATA, "savings.csv"))
        doc.CurrentController.select(doc.Sheets.getByName("Data").getCellRangeByName("B1:F51"))
        # The menu entry: Data > Statistics holds it.
        menubar = doc.CurrentController.Frame.LayoutManager.getElement("private:resource/menubar/menubar")
        print("menu bar present:", menubar is not None)
        time.sleep(2)
        shot(args.out, "calc")
        # Open the dialog the way the menu does; it is modal, so from a thread.
        url = "vnd.sun.star.script:NMLCorrelation.Dialog.Show?language=Basic&location=application"
        dispatcher = office.ctx.ServiceManager.createInstanceWithContext("com.sun.star.frame.DispatchHelper",
                                                                         office.ctx)
        frame = doc.CurrentController.Frame
        runner = threading.Thread(target=lambda: dispatcher.executeDispatch(frame, url, "", 0, ()), daemon=True)
        runner.start()
        time.sleep(3)
        shot(args.out, "dialog")
        toolkit = office.ctx.ServiceManager.createInstanceWithContext("com.sun.star.awt.Toolkit", office.ctx)
        top = toolkit.getActiveTopWindow()
        items = accessible_children(top)
        for role, name, _ in items:
            if name:
                print("  control:", role, repr(name))
        # Canonical correlation of pop15, pop75 against sr, dpi, ddpi with charts.
        from com.sun.star.accessibility.AccessibleRole import TEXT, PUSH_BUTTON, CHECK_BOX, COMBO_BOX, LIST_ITEM
        texts = [c for r, n, c in items if r == TEXT]
        texts[0].setText("Data!C1:D51")
        texts[1].setText("Data!B1:B51,Data!E1:F51")
        for role, name, ctx in items:
            if role == CHECK_BOX and ("charts" in name or "Raw" in name or "Descriptive" in name):
                ctx.doAccessibleAction(0)
        for role, name, ctx in items:
            if role == LIST_ITEM and name.startswith("Canonical"):
                ctx.getAccessibleParent().getAccessibleContext().selectAccessibleChild(ctx.getAccessibleIndexInParent())
        time.sleep(1)
        shot(args.out, "dialog-filled")
        ok = [c for r, n, c in items if r == PUSH_BUTTON and n == "OK"][0]
        ok.doAccessibleAction(0)
        runner.join(60)
        time.sleep(2)
        shot(args.out, "report")
        sheets = [doc.Sheets.getByIndex(i) for i in range(doc.Sheets.Count)]
        print("sheets:", [s.Name for s in sheets], "charts on the last:", sheets[-1].Charts.Count)
        doc.close(True)


if __name__ == "__main__":
    main()
