# Script: writes an assembly file that stands in for the import library of DLL (i686). Each
# import slot __imp__<name> starts out pointing at a small stub that has the DLL loaded and the
# function found by VxmResolveLazyImport, stores the address in the slot and jumps there with
# the caller's stack untouched; later calls go straight through the slot. Data exports and
# functions without a stdcall size are left out, save the two cdecl printf functions.
# Inputs: NM, IMPORT_LIBRARY, DLL, OUTPUT.
execute_process(COMMAND ${NM} -g ${IMPORT_LIBRARY} OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCHALL "__imp__[A-Za-z0-9_]+(@[0-9]+)?" imports "${symbols}")
list(REMOVE_DUPLICATES imports)
string(MAKE_C_IDENTIFIER "${DLL}" tag)
set(text "# Generated from ${IMPORT_LIBRARY}: lazy imports of ${DLL}.\n")
string(APPEND text "\t.section .rdata\n.Ldll_${tag}:\n\t.asciz \"${DLL}\"\n")
foreach(import IN LISTS imports)
  string(REGEX REPLACE "^__imp__" "" symbol "${import}")
  if(NOT symbol MATCHES "@" AND NOT symbol MATCHES "^wsprintf[AW]$")
    continue()
  endif()
  string(REGEX REPLACE "@[0-9]+$" "" name "${symbol}")
  string(APPEND text
    "\t.section .rdata\n.Lname_${symbol}:\n\t.asciz \"${name}\"\n"
    "\t.data\n\t.align 4\n\t.globl ${import}\n${import}:\n\t.long .Lload_${symbol}\n"
    "\t.text\n\t.globl _${symbol}\n_${symbol}:\n\tjmp *${import}\n"
    ".Lload_${symbol}:\n\tpushl $${import}\n\tpushl $.Lname_${symbol}\n\tpushl $.Ldll_${tag}\n"
    "\tcall _VxmResolveLazyImport@12\n\tjmp *%eax\n")
endforeach()
file(WRITE ${OUTPUT} "${text}")
