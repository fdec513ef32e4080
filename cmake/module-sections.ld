/* Section layout of ZUROV.DLL: as few sections, and so as few pages for the loader to read,
   as the PE directories allow. The directories that the linker finds by output section name
   (exports .edata, exceptions .pdata, resources .rsrc, base relocations .reloc) and the import
   tables keep their sections; the module's own data shares them:
   - read-only data and unwind data follow the export directory. No exported address lies in
     that range, so no export reads as forwarded;
   - initialized data follows the import tables, which the loader writes anyway.
   One script for both targets; nothing here needs the C runtime's symbols. */
SECTIONS
{
  . = SIZEOF_HEADERS;
  . = ALIGN(__section_alignment__);
  .text __image_base__ + (__section_alignment__ < 0x1000 ? . : __section_alignment__) :
  {
    *(.text)
    *(SORT(.text$*))
    *(.text.*)
  }
  .edata BLOCK(__section_alignment__) :
  {
    *(.edata)
    *(.rdata)
    *(SORT(.rdata$*))
    KEEP(*(.xdata*))
  }
  .pdata BLOCK(__section_alignment__) :
  {
    KEEP(*(.pdata*))
  }
  .idata BLOCK(__section_alignment__) :
  {
    KEEP(SORT(*)(.idata$2))
    KEEP(SORT(*)(.idata$3))
    LONG(0); LONG(0); LONG(0); LONG(0); LONG(0);  /* end of the import directory */
    . = ALIGN(8);
    KEEP(SORT(*)(.idata$4))
    __IAT_start__ = .;
    KEEP(SORT(*)(.idata$5))
    __IAT_end__ = .;
    KEEP(SORT(*)(.idata$6))
    KEEP(SORT(*)(.idata$7))
    *(.data)
    *(SORT(.data$*))
  }
  .bss BLOCK(__section_alignment__) :
  {
    *(.bss)
    *(COMMON)
  }
  .rsrc BLOCK(__section_alignment__) : SUBALIGN(4)
  {
    KEEP(*(.rsrc))
    KEEP(*(.rsrc$*))
  }
  .reloc BLOCK(__section_alignment__) :
  {
    *(.reloc)
  }
  /* Linker directives, and unwind tables for exceptions, which the module does not use. */
  /DISCARD/ :
  {
    *(.drectve)
    *(.note.GNU-stack)
    *(.eh_frame*)
    *(.debug$S)
    *(.debug$T)
    *(.debug$F)
  }
}
