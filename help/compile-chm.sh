#!/usr/bin/env bash
# compile-chm.sh PROJECT_DIR OUTPUT EPOCH: compiles PROJECT_DIR/Tarvik.hhp with chmcmd into
# OUTPUT so that the same sources give the same bytes on every run, on any build's behalf.
#
# chmcmd writes two things that change from run to run:
# - the time of day it compiled the file, in milliseconds, at offset 0x10 of the file's
#   header (big-endian) and in entry 10 of its #SYSTEM file (little-endian; #SYSTEM is
#   stored uncompressed): both are set here to the time of day of EPOCH;
# - two bytes of its keyword index ($WWKeywordLinks/Map) that it leaves unset, which then
#   hold what its memory held there. That depends on where the process's stack and heap
#   lie: with address randomization off, an empty environment and the same arguments it
#   is the same on every run. Where randomization cannot be switched off, those two bytes
#   still differ, and the comparisons of the help file name them.
set -euo pipefail
project=$1 output=$2 epoch=$3
chmcmd=$(command -v chmcmd)
setarch=$(command -v setarch || true)
cd "$project"
rm -f Tarvik.chm
fixed=()
if [ -n "$setarch" ] && "$setarch" "$(uname -m)" -R true 2>/dev/null; then
  fixed=("$setarch" "$(uname -m)" -R)
fi
if ! log=$(env -i "${fixed[@]}" "$chmcmd" --verbosity 1 Tarvik.hhp 2>&1) || [ ! -s Tarvik.chm ]; then
  echo "$log" >&2
  echo "compile-chm.sh: chmcmd made no Tarvik.chm" >&2
  exit 1
fi
perl -e '
  my ($file, $epoch) = @ARGV;
  open(my $fh, "+<:raw", $file) or die "compile-chm.sh: $file: $!\n";
  my $data = do { local $/; <$fh> };
  my $stamp = ($epoch % 86400) * 1000;
  die "compile-chm.sh: $file has no ITSF header\n" unless substr($data, 0, 4) eq "ITSF";
  substr($data, 0x10, 4) = pack("N", $stamp);
  # #SYSTEM: version 3, then entry 10 (four bytes: the stamp), then entry 9, the compiler.
  my $count = () = $data =~ /\x03\x00\x00\x00\x0a\x00\x04\x00.{4}\x09\x00..HHA Version/sg;
  die "compile-chm.sh: $file: found $count #SYSTEM time stamps, not one\n" unless $count == 1;
  $data =~ s/(\x03\x00\x00\x00\x0a\x00\x04\x00).{4}(\x09\x00..HHA Version)/$1 . pack("V", $stamp) . $2/se;
  seek($fh, 0, 0); print $fh $data; close($fh) or die "compile-chm.sh: $file: $!\n";
' Tarvik.chm "$epoch"
mkdir -p "$(dirname "$output")"
cp Tarvik.chm "$output.tmp" && mv -f "$output.tmp" "$output"
