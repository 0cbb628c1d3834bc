/* Added to the linker's default script: the stub never unwinds (no
   exceptions, engine code built without unwind tables), so the DWARF unwind
   tables that static libgcc's 64-bit division helpers and MinGW's start-up
   object bring along are dropped rather than shipped. */
SECTIONS
{
  /DISCARD/ : { *(.eh_frame) *(.eh_frame.*) }
}
INSERT BEFORE .text;
