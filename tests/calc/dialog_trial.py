"""Opens the Correlation Analysis dialog in a Calc with a display, presses OK,
takes screenshots and fails unless a report sheet came out (not in ctest):

    Xvfb :99 -screen 0 1280x900x24 &
    DISPLAY=:99 /usr/bin/python3 tests/calc/dialog_trial.py build/nmlcorrelation.oxt [/tmp/nml-dialog]
"""
import os
import subprocess
import sys
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
os.environ["NML_OFFICE_DISPLAY"] = "1"
from office_session import OfficeSession, load_csv  # noqa: E402

DATA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data")


def trial(office, out):
    def shot(name):
        subprocess.run(["import", "-window", "root", os.path.join(out, name + ".png")], check=True)

    doc = office.new_calc(hidden=False)
    doc.Sheets.getByIndex(0).Name = "Data"
    load_csv(doc, "Data", os.path.join(DATA, "savings.csv"))
    doc.CurrentController.select(doc.Sheets.getByName("Data").getCellRangeByName("B1:F51"))
    # Open the dialog the way the menu entry does; it is modal, so from a thread.
    url = "vnd.sun.star.script:NMLCorrelation.Dialog.Show?language=Basic&location=application"
    dispatcher = office.ctx.ServiceManager.createInstanceWithContext("com.sun.star.frame.DispatchHelper", office.ctx)
    frame = doc.CurrentController.Frame
    runner = threading.Thread(target=lambda: dispatcher.executeDispatch(frame, url, "", 0, ()), daemon=True)
    runner.start()
    time.sleep(3)
    shot("dialog")
    uitest = office.ctx.ServiceManager.createInstanceWithContext("org.libreoffice.uitest.UITest", office.ctx)
    uitest.getTopFocusWindow().getChild("ok").executeAction("CLICK", ())
    runner.join(60)
    time.sleep(2)
    shot("report")
    sheets = doc.Sheets.Count
    doc.close(True)
    return sheets


if __name__ == "__main__":
    oxt, out = sys.argv[1], sys.argv[2] if len(sys.argv) > 2 else "/tmp/nml-dialog"
    os.makedirs(out, exist_ok=True)
    # Under Xvfb the office now and then fails to open the display on its
    # first start in a fresh profile; a second start works.
    for attempt in range(3):
        try:
            with OfficeSession(oxt) as office:
                sheets = trial(office, out)
            break
        except RuntimeError as e:
            print("retrying:", e, flush=True)
    else:
        sys.exit("LibreOffice did not start")
    print("sheets after OK:", sheets, "(screenshots in %s)" % out)
    sys.exit(0 if sheets == 2 else 1)
