#!/bin/sh
# Fetches the third-party sources of the Windows build from Debian's source
# packages, the same versions the Linux build links against, and unpacks
# them into OUT. apt runs with its own source list, state and cache under
# OUT/apt; the machine's apt configuration is only read, never changed, and
# the machine's trusted keys check the signed index the .dsc files are
# listed in.
#
# Usage: fetch-sources.sh OUT
# Leaves OUT/src/sqlite3 (with the amalgamation sqlite3.c made), OUT/src/
# cpp-httplib and OUT/src/qr-code-generator, and OUT/sources.stamp.
set -eu

out=$(mkdir -p "$1" && cd "$1" && pwd)
apt_dir="$out/apt"
src_dir="$out/src"

# The packages and the exact versions the Linux build uses.
version_of() {
    dpkg-query -W -f='${source:Version}' "$1"
}
sqlite_version=$(version_of libsqlite3-dev)
httplib_version=$(version_of libcpp-httplib-dev)
qrcodegen_version=$(version_of libqrcodegencpp-dev)
wanted="sqlite3=$sqlite_version cpp-httplib=$httplib_version qr-code-generator=$qrcodegen_version"

if [ -f "$out/sources.stamp" ] && [ "$(cat "$out/sources.stamp")" = "$wanted" ]; then
    exit 0
fi

# deb-src twins of the machine's own Debian sources: same mirror, suites
# and signing keys.
rm -rf "$apt_dir"
mkdir -p "$apt_dir/sources.list.d" "$apt_dir/state/lists/partial" "$apt_dir/cache/archives/partial"
: > "$apt_dir/sources.list"
if [ -f /etc/apt/sources.list ]; then
    sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' /etc/apt/sources.list >> "$apt_dir/sources.list"
fi
for f in /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    sed -n 's/^[[:space:]]*deb[[:space:]]/deb-src /p' "$f" >> "$apt_dir/sources.list"
done
for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    sed 's/^Types:.*$/Types: deb-src/' "$f" > "$apt_dir/sources.list.d/$(basename "$f")"
done

apt_options="-o Dir::Etc::SourceList=$apt_dir/sources.list
 -o Dir::Etc::SourceParts=$apt_dir/sources.list.d
 -o Dir::State=$apt_dir/state
 -o Dir::State::status=/var/lib/dpkg/status
 -o Dir::Cache=$apt_dir/cache
 -o APT::Sandbox::User=root
 -o Debug::NoLocking=1"
# shellcheck disable=SC2086
apt-get $apt_options -q update
# Some mirrors lack a package's Debian diff, which for these packages only
# carries packaging. apt has then still fetched the .dsc and the upstream
# tarball, each checked against the signed index; the tarball is checked
# once more against the .dsc and unpacked on its own.
unpack_upstream_only() {
    dsc=$(ls "$1"_*.dsc)
    tarball=$(ls "$1"_*.orig.tar.*)
    sum=$(sed -n '/^Checksums-Sha256:/,/^[^ ]/p' "$dsc" | awk -v f="$tarball" '$3 == f { print $1 }')
    [ -n "$sum" ] && echo "$sum  $tarball" | sha256sum -c --quiet -
    mkdir "$1"
    tar -xf "$tarball" -C "$1" --strip-components=1
    echo "fetch-sources: $1: unpacked the checked upstream tarball without its Debian diff" >&2
}

rm -rf "$src_dir"
mkdir -p "$src_dir"
cd "$src_dir"
for package in $wanted; do
    name=${package%%=*}
    # shellcheck disable=SC2086
    if apt-get $apt_options -q source --download-only "$package"; then
        # The .dsc was checked by apt against the signed index; its own
        # signature is by the uploader, whose key the machine does not hold.
        dpkg-source --no-check -x "$name"_*.dsc "$name" > /dev/null
    else
        unpack_upstream_only "$name"
    fi
done

# The amalgamation is made from the SQLite tree (needs tclsh).
(cd sqlite3 && mkdir -p bld && cd bld && ../configure --quiet > /dev/null && make -s sqlite3.c > /dev/null)

echo "$wanted" > "$out/sources.stamp"
