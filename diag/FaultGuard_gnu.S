/* int SievoGuardedCall(GuardedFn fn, void* context)
 *
 * The x64 shape of __try/__except: a one-entry scope table handled by
 * __C_specific_handler. The filter (SievoGuardFilter) accepts everything;
 * the unwind then lands at .Lcaught with the stack as it was after the
 * prologue. */
    .text
    .globl  SievoGuardedCall
    .def    SievoGuardedCall; .scl 2; .type 32; .endef
    .seh_proc SievoGuardedCall
SievoGuardedCall:
    subq    $40, %rsp
    .seh_stackalloc 40
    .seh_endprologue
    .seh_handler __C_specific_handler, @except
    .seh_handlerdata
    .long   1
    .rva    .Lbegin, .Lend, SievoGuardFilter, .Lcaught
    .text
.Lbegin:
    movq    %rcx, %rax
    movq    %rdx, %rcx
    callq   *%rax
    nop
.Lend:
    xorl    %eax, %eax
.Lout:
    addq    $40, %rsp
    ret
.Lcaught:
    movl    $1, %eax
    jmp     .Lout
    .seh_endproc

/* Thread notices (diag/PluginLeftovers.cpp): a pointer in the loader's list
 * of TLS callbacks, so the program hears of every thread that starts or
 * ends, whoever starts it. */
    .section .CRT$XLP,"dr"
    .p2align 3
    .quad   SievoThreadNotice
