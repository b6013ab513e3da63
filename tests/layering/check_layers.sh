#!/bin/sh
# The device code (core, config, writer, operations, transport), the
# command-line tool and the emulator never reach into the window, the pages
# or the widgets, nor include a Qt Widgets or Gui header: the command-line
# tool links them without any.
root=${1:-$(dirname "$0")/../..}
cd "$root" || exit 2
found=$(grep -rnE '#include[[:space:]]*[<"](app/|pages/|widgets/|update/|Qt(Widgets|Gui)/|Q(Widget|Dialog|Application|MessageBox|Color|Font|Pixmap|Painter)\b)' \
    src/core src/config src/writer src/operations src/transport src/cli \
    sim/EmulatedWriter.* sim/EmulatedTransport.* sim/EmulatedNotifier.* sim/DemoFiles.* 2>/dev/null)
if [ -n "$found" ]; then
    echo "Includes across the layers:"
    echo "$found"
    echo "0 passed, 1 failed"
    exit 1
fi
echo "1 passed, 0 failed"
