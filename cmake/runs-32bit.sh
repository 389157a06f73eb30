#!/bin/bash
# Whether this machine runs 32-bit x86 programs: builds a static 32-bit program of three
# instructions that exits with 42, and runs it. Exit status 0 when it does; otherwise 1,
# with the reason on standard output. With --wine, also whether 32-bit Wine is installed.
set -u
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '.globl _start\n_start:\n movl $1, %%eax\n movl $42, %%ebx\n int $0x80\n' >"$work/probe.s"
if ! gcc -m32 -nostdlib -static -o "$work/probe" "$work/probe.s" 2>/dev/null; then
    echo "gcc cannot build a 32-bit program"
    exit 1
fi
"$work/probe" 2>/dev/null
status=$?
if [ $status -ne 42 ]; then
    echo "the kernel does not run 32-bit programs (a static one ended with $status, not 42)"
    exit 1
fi
if [ "${1:-}" = --wine ] && ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed"; then
    echo "wine32:i386 is not installed (scripts/setup.sh installs it)"
    exit 1
fi
exit 0
