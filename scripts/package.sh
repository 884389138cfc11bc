#!/usr/bin/env bash
# Makes the Debian package from an optimised build (build-package/) and checks it: the menu
# entry and the AppStream metadata with their validators, the package with lintian. Prints the
# package's path last.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh dpkg-dev lintian desktop-file-utils appstream
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DVANTOR_BUILD_TESTS=OFF >/dev/null
cmake --build build-package
(cd build-package && cpack >/dev/null)
deb=$(ls -t build-package/vantor-cal_*.deb | head -1)
desktop-file-validate packaging/com.vantor.vantor_cal.desktop
appstreamcli validate --no-net --pedantic packaging/com.vantor.vantor_cal.metainfo.xml >/dev/null
lintian --fail-on error "$deb"
contents=$(dpkg-deb --contents "$deb")
for f in usr/bin/vantor_cal usr/bin/vantor_sim usr/share/applications/com.vantor.vantor_cal.desktop \
         usr/share/metainfo/com.vantor.vantor_cal.metainfo.xml usr/share/icons/hicolor/scalable/apps/vantor_cal.svg \
         usr/share/icons/hicolor/48x48/apps/vantor_cal.png usr/share/man/man1/vantor_cal.1.gz \
         usr/share/man/man1/vantor_sim.1.gz usr/share/doc/vantor-cal/copyright usr/share/doc/vantor-cal/changelog.gz \
         usr/share/vantor_cal/installed; do
  grep -q " \./$f\$" <<<"$contents" || { echo "missing from the package: /$f"; exit 1; }
done
dpkg-deb --field "$deb" Depends | grep -q libqt6serialport6 || { echo "dependencies not computed"; exit 1; }
for driver in libqt6sql6-sqlite libqt6sql6-psql; do
  dpkg-deb --field "$deb" Depends | grep -q "$driver" || { echo "the records' SQL driver $driver is not a dependency"; exit 1; }
done
echo "$deb"
