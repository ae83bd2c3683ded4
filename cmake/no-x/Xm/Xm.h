#error "core, import and numeric code must not use X or Motif; that belongs in src/ui"
