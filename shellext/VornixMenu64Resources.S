/* The resources of the extension library, carried in its loaded image as ELF notes of the owner
   "Vornex" (type 1), which the COM layer's FindResourceW reads: each note holds the resource's
   number, its type name (16 bytes, "#" and a number for numbered types) and its bytes. */

    .macro resource_begin id, type
    .section .note.vornex.rsrc,"a",@note
    .balign 4
    .long 7
    .long 9f - 8f
    .long 1
    .asciz "Vornex"
    .balign 4
8:  .long \id
10: .ascii "\type"
11: .fill 16 - (11b - 10b), 1, 0
    .endm

    .macro resource_end
9:  .balign 4
    .endm

    /* One String of the version block: key and text as wide (16-bit) texts. */
    .macro version_string key, value
    .balign 4
1:  .short 3f - 1b
    .short (3f - 2f) / 2
    .short 1
    .string16 "\key"
    .balign 4
2:  .string16 "\value"
3:
    .endm

/* The registry script. */
    resource_begin 106, "REGISTRY"
    .incbin "VornixMenu64.rgs"
    resource_end

/* The type library's description. */
    resource_begin 1, "TYPELIB"
    .incbin "pelmomenu.idl"
    resource_end

/* The menu picture: 16 x 16 pixels, 32 bits per pixel, without the file's own 14-byte header. */
    resource_begin 201, "#2"
    .incbin "menu-entry.bmp", 14
    resource_end

/* The string table block of the strings 96 to 111: each a length and its wide characters. */
    resource_begin 7, "#6"
    .short 0, 0, 0, 0
    .short 9
    .short 'p', 'e', 'l', 'm', 'o', 'm', 'e', 'n', 'u'
    .short 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0
    resource_end

/* The version block: file and product version 1.0.0.1. */
    resource_begin 1, "#16"
vs_begin:
    .short vs_end - vs_begin
    .short 52
    .short 0
    .string16 "VS_VERSION_INFO"
    .balign 4
    .long 0xFEEF04BD            /* signature */
    .long 0x00010000            /* structure version */
    .long 0x00010000, 0x00000001 /* file version 1.0.0.1 */
    .long 0x00010000, 0x00000001 /* product version 1.0.0.1 */
    .long 0x3F, 0               /* flags mask, flags */
    .long 0x00040004            /* 32-bit Windows */
    .long 2, 0                  /* a library, no subtype */
    .long 0, 0                  /* date */
    .balign 4
sfi_begin:
    .short sfi_end - sfi_begin
    .short 0
    .short 1
    .string16 "StringFileInfo"
    .balign 4
st_begin:
    .short st_end - st_begin
    .short 0
    .short 1
    .string16 "040904b0"
    version_string "CompanyName", "Vornex"
    version_string "FileDescription", "Vornex context menu extension"
    version_string "FileVersion", "1.0.0.1"
    version_string "InternalName", "pelmomenu.dll"
    version_string "OriginalFilename", "pelmomenu.dll"
    version_string "ProductName", "Vornex"
    version_string "ProductVersion", "1.0.0.1"
st_end:
sfi_end:
    .balign 4
vfi_begin:
    .short vfi_end - vfi_begin
    .short 0
    .short 1
    .string16 "VarFileInfo"
    .balign 4
var_begin:
    .short var_end - var_begin
    .short 4
    .short 0
    .string16 "Translation"
    .balign 4
    .short 0x0409, 0x04B0
var_end:
vfi_end:
vs_end:
    resource_end

/* The manifest (number 2, as a library's is). */
    resource_begin 2, "#24"
    .incbin "VornixMenu64.manifest"
    resource_end

    .section .note.GNU-stack,"",@progbits
