# zurov_link_without_c_runtime(TARGET ENTRY): links a DLL target with no C runtime at all.
# ENTRY, a stdcall function (HINSTANCE, DWORD, LPVOID) returning BOOL, is the PE entry point;
# only libgcc is linked besides the Windows import libraries, for helpers the compiler calls
# (stack probes, 64-bit division). Sections that nothing reaches are dropped, symbols stripped,
# and a link map is written beside the DLL (TARGET.map) for the file checks.
function(zurov_link_without_c_runtime target entry)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(entry "_${entry}@12")  # the decorated name of a 32-bit stdcall function
  endif()
  target_link_libraries(${target} PRIVATE gcc)
  target_link_options(${target} PRIVATE -nostdlib -s
    -Wl,--entry,${entry} -Wl,--gc-sections
    # Data imported without __declspec(dllimport) would need a runtime to patch it.
    -Wl,--disable-auto-import -Wl,--disable-runtime-pseudo-reloc
    -Wl,-Map,$<TARGET_FILE_DIR:${target}>/${target}.map)
endfunction()
