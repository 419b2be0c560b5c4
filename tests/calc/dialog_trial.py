"""Opens the Correlation Analysis dialog in a Calc with a display, takes
screenshots, presses OK through the office's UI test service (the X range
as prefilled from the selection),
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


def find_accessible(ctx, name, depth=0):
    """The first accessible context below ctx named name (menu mnemonics ignored)."""
    for i in range(ctx.getAccessibleChildCount()):
        child = ctx.getAccessibleChild(i).getAccessibleContext()
        if child.getAccessibleName().replace("~", "") == name:
            return child
        if depth < 3:
            found = find_accessible(child, name, depth + 1)
            if found is not None:
                return found
    return None


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
    doc = office.new_calc(hidden=False)
    doc.Sheets.getByIndex(0).Name = "Data"
    load_csv(doc, "Data", os.path.join(DATA, "savings.csv"))
    doc.CurrentController.select(doc.Sheets.getByName("Data").getCellRangeByName("B1:F51"))
    time.sleep(2)
    shot(args.out, "calc")
    # The menu entry: open Data > Statistics through the accessibility tree
    # (menus fill their items when opened) and list what it holds.
    top = doc.CurrentController.Frame.ContainerWindow.getAccessibleContext()
    while top.getAccessibleParent() is not None:
        top = top.getAccessibleParent().getAccessibleContext()
    data = find_accessible(top, "Data")
    data.doAccessibleAction(0)
    time.sleep(1.5)
    stats = find_accessible(data, "Statistics")
    stats.doAccessibleAction(0)
    time.sleep(1.5)
    print("Data > Statistics:", [stats.getAccessibleChild(i).getAccessibleContext().getAccessibleName()
                                 for i in range(stats.getAccessibleChildCount())], flush=True)
    shot(args.out, "menu")
    stats.doAccessibleAction(0)  # close the menus again
    data.doAccessibleAction(0)
    time.sleep(1)
    # Open the dialog the way the menu does; it is modal, so from a thread.
    url = "vnd.sun.star.script:NMLCorrelation.Dialog.Show?language=Basic&location=application"
    dispatcher = office.ctx.ServiceManager.createInstanceWithContext("com.sun.star.frame.DispatchHelper",
                                                                     office.ctx)
    frame = doc.CurrentController.Frame
    runner = threading.Thread(target=lambda: dispatcher.executeDispatch(frame, url, "", 0, ()), daemon=True)
    runner.start()
    time.sleep(3)
    shot(args.out, "dialog")
    # The office's UI test service reaches the dialog's buttons.
    uitest = office.ctx.ServiceManager.createInstanceWithContext("org.libreoffice.uitest.UITest", office.ctx)
    dialog = uitest.getTopFocusWindow()
    print("dialog controls:", sorted(dialog.getChildren()), flush=True)
    dialog.getChild("ok").executeAction("CLICK", ())
    runner.join(60)
    time.sleep(2)
    shot(args.out, "report")
    sheets = [doc.Sheets.getByIndex(i) for i in range(doc.Sheets.Count)]
    print("sheets:", [s.Name for s in sheets], "charts on the last:", sheets[-1].Charts.Count)
    doc.close(True)


if __name__ == "__main__":
    main()
