"""Reads the accessible tree of the running Textquirl window (the process
given as the one argument) once through AT-SPI and checks what a screen
reader announces: the window, Text1, the button, the copyright line and the
two links, with Label2 focused. Prints the tree; exit status 1 on any
difference."""

import sys
import time

import pyatspi


def application(pid):
    """The application of process `pid` on the desktop, waited for up to ten seconds."""
    for _ in range(100):
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.get_process_id() == pid:
                return app
        time.sleep(0.1)
    sys.exit(f"FAIL: no application of process {pid} on the accessibility bus")


def describe(node):
    """(role, name, description, action names, state names) of one node."""
    try:
        action = node.queryAction()
        actions = [action.getName(i) for i in range(action.nActions)]
    except NotImplementedError:
        actions = []
    states = {pyatspi.stateToString(s) for s in node.getState().getStates()}
    return node.getRoleName(), node.name, node.description, actions, states


def main():
    app = application(int(sys.argv[1]))
    frames = [child for child in app]
    if len(frames) != 1:
        sys.exit(f"FAIL: {len(frames)} top-level windows")
    frame = frames[0]
    controls = [describe(child) for child in frame]
    print(describe(frame)[:2])
    for control in controls:
        print(control[:4], sorted(control[4]))

    failures = []

    def check(what, condition):
        if not condition:
            failures.append(what)

    role, name, *_ = describe(frame)
    check("window role frame or window, name Textquirl", role in ("frame", "window") and name == "Textquirl")
    by_name = {c[1]: c for c in controls}
    web = "http://example.org/computer/programme/"
    mail = "(info@example.org)"
    expected = {
        "Text zum Verwurschteln": ("text", "", "SetFocus", {"editable", "multi line", "focusable"}),
        "Verwurschteln und in Zwischenablage kopieren": ("push button", "", "Press", {"focusable"}),
        web: ("link", web, "jump", {"focusable", "focused"}),
        mail: ("link", "mailto:info@example.org", "jump", {"focusable"}),
    }
    for label, (role, description, action, states) in expected.items():
        got = by_name.get(label)
        if got is None:
            failures.append(f"no control named {label!r}")
            continue
        check(f"{label}: role {role}", got[0] == role)
        check(f"{label}: description {description!r}", got[2] == description)
        check(f"{label}: first action {action}", (got[3][:1] or [None])[0] == action)
        check(f"{label}: states {sorted(states)}", states <= got[4])
    copyright_lines = [c for c in controls if c[1].startswith("©")]
    check("Label1: a label with the copyright line, not focusable",
          len(copyright_lines) == 1 and copyright_lines[0][0] == "label"
          and "focusable" not in copyright_lines[0][4])
    check("five controls", len(controls) == 5)
    check("only Label2 focused", sum("focused" in c[4] for c in controls) == 1)

    for failure in failures:
        print("FAIL:", failure, file=sys.stderr)
    if failures:
        sys.exit(1)
    print("atspi_tree: window, Text1, Command1, Label1, Label2 and Label3 as a screen reader needs them")


if __name__ == "__main__":
    main()
