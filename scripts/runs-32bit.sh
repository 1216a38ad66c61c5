#!/usr/bin/env bash
# Exits 0 if this kernel runs 32-bit x86 programs. Some kernels have no ia32
# emulation (WSL1, several cloud kernels): there a 32-bit program ends with
# "Exec format error". The program tried is a static one kept here as its
# bytes, so the answer needs no 32-bit package: it only calls exit(42).
set -u
probe=$(mktemp)
trap 'rm -f "$probe"' EXIT
# ELF header (52 bytes), one loadable segment (32 bytes) at 0x08048000, then
# the code at 0x08048054: mov eax, 1 (exit); mov ebx, 42; int 0x80.
printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00' > "$probe"
printf '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00' >> "$probe"
printf '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00' >> "$probe"
printf '\x00\x00\x00\x00' >> "$probe"
printf '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08' >> "$probe"
printf '\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00' >> "$probe"
printf '\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' >> "$probe"
chmod +x "$probe"
"$probe" 2>/dev/null
[ $? -eq 42 ]
