# Shell functions shared by the size reports (scripts/size_report.sh, tests/library/size_net.sh,
# tests/library/sms/size_sms.sh). Sourced; expects $root (the repository) to be set.

# Sums input sections per object file from a GNU ld map (only what the linker kept).
# Prints: object text rodata data bss
map_sizes() {
  awk '
    function hex(s,   i, c, v) { v = 0; s = tolower(s); sub(/^0x/, "", s); for (i = 1; i <= length(s); i++) { c = index("0123456789abcdef", substr(s, i, 1)) - 1; v = v * 16 + c } return v }
    /^Linker script and memory map/ { inmap = 1; next }
    !inmap { next }
    {
      if (pending != "") { line = pending " " $0; pending = "" } else { line = $0 }
      n = split(line, f, " ")
      if (n == 1 && f[1] ~ /^\.(text|rodata|data|bss|progmem)/) { pending = f[1]; next }
      if (n < 4 || f[1] !~ /^\.(text|rodata|data|bss|progmem)/ || f[2] !~ /^0x/ || f[3] !~ /^0x/) next
      size = hex(f[3]); obj = f[4]; sub(/.*\//, "", obj); sub(/\.o\)?$/, "", obj); sub(/^.*\(/, "", obj)
      kind = f[1]; sub(/^\./, "", kind); sub(/\..*/, "", kind)
      # .progmem (AVR constants kept in flash) counts as code: flash only.
      if (kind == "rodata") r[obj] += size; else if (kind == "data") d[obj] += size; else if (kind == "bss") b[obj] += size; else t[obj] += size
      seen[obj] = 1
    }
    END { for (o in seen) printf "%s %d %d %d %d\n", o, t[o], r[o], d[o], b[o] }
  ' "$1"
}

# generated_manager <project folder> <module ids, comma separated>
# Generates a project with those modules ticked (C output, echo on, no circular buffers) and fills its
# manager's USER CODE sections for the harness: the firmwares are wired by the manager unit exactly as
# the program writes it. The code generator is $VELKOR_CODEGEN, else the one of the default build folder.
generated_manager() {
  local codegen=${VELKOR_CODEGEN:-$root/build/app/velkor-codegen}
  if [ ! -x "$codegen" ]; then
    echo "velkor-codegen not found ($codegen): build the program first (make) or set VELKOR_CODEGEN" >&2
    exit 1
  fi
  python3 "$root/tests/library/harness/generate_manager.py" "$codegen" "$1" --modules "$2" --echo 1
}

# Message text storage inside the SMS Send, SMS Read and USSD instances:
# number and text of the message to send (the text is kept without terminator), sender, time stamp
# and text of the message read, USSD code and answer. Their sizes are the user's settings (GSM_..._SIZE),
# so the reports count them apart from the modules' own state, as they count the line, body and
# receive buffers the application provides.
#
# text_buffers <compiler> <library folder>: prints the bytes of SMS Send, SMS Read and USSD.

size_macro() {
  "$1" -E -dM -I"$2" -include "$2/$3" -x c - </dev/null | awk -v n="$4" '$2 == n { print $3 }' | tr -d 'uUlL'
}

text_buffers() {
  local cc=$1 lib=$2
  local nb tb sb ub rb pb respb
  nb=$(size_macro "$cc" "$lib" GSM_SMS_Send.h GSM_SMSSEND_NUMBER_SIZE)
  tb=$(size_macro "$cc" "$lib" GSM_SMS_Send.h GSM_SMSSEND_TEXT_SIZE)
  sb=$(size_macro "$cc" "$lib" GSM_SMS_Read.h GSM_SMSREAD_SENDER_SIZE)
  ub=$(size_macro "$cc" "$lib" GSM_SMS_Read.h GSM_SMSREAD_TIMESTAMP_SIZE)
  rb=$(size_macro "$cc" "$lib" GSM_SMS_Read.h GSM_SMSREAD_TEXT_SIZE)
  pb=$(size_macro "$cc" "$lib" GSM_USSD.h GSM_USSD_PAYLOAD_SIZE)
  respb=$(size_macro "$cc" "$lib" GSM_USSD.h GSM_USSD_RESPONSE_SIZE)
  echo $((nb + tb - 1)) $((sb + ub + rb)) $((pb + respb))
}
