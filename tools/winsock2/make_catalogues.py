#!/usr/bin/env python3
"""Writes the default WinSock2 catalogues the program carries (data/winsock2/<name>.reg).

One file per Windows kind: the name-space and protocol catalogues of a fresh installation with
the standard providers of that system. The 9x files are REGEDIT4 text in code page 936, the NT
files registry-editor 5.00 text in UTF-16. Each PackedCatalogItem is what the system stores: the
provider library's path as 8-bit text in a MAX_PATH field, then the WSAPROTOCOL_INFOW record.
The files only add and overwrite; they delete nothing.

It also writes the lived-in run prefix's WinSock2 shape, data/seed/registry/repair_winsock2.reg.

Run: tools/winsock2/make_catalogues.py [output folder]   (default: data/winsock2)
"""
import os
import struct
import sys
import uuid

MAX_PATH = 260

TCPIP = "{E70F1AA0-AB8B-11CF-8CA3-00805F48A192}"
RSVP = "{9D60A9E0-337A-11D0-BD88-0000C082E69A}"
NETBIOS = "{8D5F1830-C273-11CF-95C8-00805F48A192}"
NWLINK = "{11058240-BE47-11CF-95C8-00805F48A192}"
NS_TCPIP = "{22059D40-7E9E-11CF-AE5A-00AA00A7112B}"
NS_NTDS = "{3B2637EE-E580-11CF-A555-00C04FD8D4AC}"
NS_NLA = "{6642243A-3BA8-4AA6-BAA5-2E0BD71FDD83}"

# Service flags (XP1_...), address families, socket types.
GUARANTEED = 0x2 | 0x4            # delivery, order
STREAM_FLAGS = GUARANTEED | 0x20 | 0x40 | 0x20000   # graceful close, expedited data, IFS handles
DGRAM_FLAGS = 0x1 | 0x8 | 0x200 | 0x400 | 0x20000   # connectionless, message, broadcast, multipoint, IFS
RAW_FLAGS = DGRAM_FLAGS
QOS = 0x2000
SEQ_FLAGS = GUARANTEED | 0x8 | 0x20000
NB_DGRAM_FLAGS = 0x1 | 0x8 | 0x200 | 0x20000
AF_INET, AF_IPX, AF_NETBIOS = 2, 6, 17
SOCK_STREAM, SOCK_DGRAM, SOCK_RAW, SOCK_SEQPACKET = 1, 2, 3, 5


def guid_bytes(text):
    return uuid.UUID(text).bytes_le


def protocol(library, name, provider, flags, family, sockaddr, socktype, proto, max_offset=0,
             byte_order=1, message=0, provider_flags=0x8):
    return dict(library=library, name=name, provider=provider, flags=flags, family=family,
                sockaddr=sockaddr, socktype=socktype, proto=proto, max_offset=max_offset,
                byte_order=byte_order, message=message, provider_flags=provider_flags)


def packed_item(p, entry_id, codepage):
    path = p["library"].encode(codepage)
    head = path + b"\0" * (MAX_PATH - len(path))
    chain = struct.pack("<i7I", 1, 0, 0, 0, 0, 0, 0, 0)
    info = struct.pack("<4I I", p["flags"], 0, 0, 0, p["provider_flags"])
    info += guid_bytes(p["provider"])
    info += struct.pack("<I", entry_id)
    info += chain
    info += struct.pack("<9i", 2, p["family"], p["sockaddr"], p["sockaddr"], p["socktype"], p["proto"],
                        p["max_offset"], p["byte_order"], 0)
    info += struct.pack("<2I", p["message"], 0)
    name = p["name"].encode("utf-16-le")
    info += name + b"\0" * (512 - len(name))
    assert len(info) == 628 and len(head) == MAX_PATH
    return head + info


def hex_lines(prefix, data):
    """name=hex:.. split into the editor's continued lines."""
    parts = ["%02x" % b for b in data]
    lines, line = [], prefix
    for i, part in enumerate(parts):
        piece = part + ("," if i + 1 < len(parts) else "")
        if len(line) + len(piece) > 77:
            lines.append(line + "\\")
            line = "  "
        line += piece
    lines.append(line)
    return "\n".join(lines)


def string_value(name, text):
    return '"%s"="%s"' % (name, text.replace("\\", "\\\\").replace('"', '\\"'))


def netbios(library, device, count):
    items = []
    for lana in range(count):
        for kind, socktype, flags, message in (("SEQPACKET", SOCK_SEQPACKET, SEQ_FLAGS, 64000),
                                                ("DATAGRAM", SOCK_DGRAM, NB_DGRAM_FLAGS, 64000)):
            items.append(protocol(library, "MSAFD NetBIOS [%s] %s %d" % (device[lana], kind, lana),
                                  NETBIOS, flags, AF_NETBIOS, 20, socktype,
                                  -lana if lana else -0x80000000, byte_order=0, message=message,
                                  provider_flags=0x0))
    return items


def tcpip(library):
    return [
        protocol(library, "MSAFD Tcpip [TCP/IP]", TCPIP, STREAM_FLAGS, AF_INET, 16, SOCK_STREAM, 6),
        protocol(library, "MSAFD Tcpip [UDP/IP]", TCPIP, DGRAM_FLAGS, AF_INET, 16, SOCK_DGRAM, 17,
                 message=65467),
        protocol(library, "MSAFD Tcpip [RAW/IP]", TCPIP, RAW_FLAGS, AF_INET, 16, SOCK_RAW, 0,
                 max_offset=255, message=65467, provider_flags=0xC),
    ]


def rsvp(library):
    return [
        protocol(library, "RSVP UDP Service Provider", RSVP, DGRAM_FLAGS | QOS, AF_INET, 16, SOCK_DGRAM, 17,
                 message=65467),
        protocol(library, "RSVP TCP Service Provider", RSVP, STREAM_FLAGS | QOS, AF_INET, 16, SOCK_STREAM, 6),
    ]


NT_MSWSOCK = "%SystemRoot%\\system32\\mswsock.dll"
NT_RSVP = "%SystemRoot%\\system32\\rsvpsp.dll"
NT_WINRNR = "%SystemRoot%\\System32\\winrnr.dll"
ADAPTERS = ["\\Device\\NetBT_Tcpip_{5B7E8E8C-0A2D-4C3E-9C1B-3F2A6E4D7A10}",
            "\\Device\\NetBT_Tcpip_{0C2A9D61-4F83-4B6E-A1D2-7E95B3C8F4A2}",
            "\\Device\\NetBT_Tcpip_{9E4F1B27-6D3A-4C85-B0E9-2A7C5D18F6B3}",
            "\\Device\\NetBT_Tcpip_{3D81C6A4-2B9E-47F0-8A5D-C16E0F92B7D4}"]

NS_ENTRIES = {
    "tcpip": (NT_MSWSOCK, "Tcpip", NS_TCPIP, 12, 0),
    "ntds": (NT_WINRNR, "NTDS", NS_NTDS, 32, 1),
    "nla": (NT_MSWSOCK, "Network Location Awareness (NLA) Namespace", NS_NLA, 15, 0),
}

KINDS = {
    "98": dict(nine_x=True, namespaces=[("C:\\WINDOWS\\SYSTEM\\rnr20.dll", "DNS Name Space Provider", NS_TCPIP, 12, 0)],
               protocols=[
                   protocol("C:\\WINDOWS\\SYSTEM\\mswsock.dll", "MSAFD Tcpip [TCP/IP]", TCPIP, STREAM_FLAGS, AF_INET, 16, SOCK_STREAM, 6),
                   protocol("C:\\WINDOWS\\SYSTEM\\mswsock.dll", "MSAFD Tcpip [UDP/IP]", TCPIP, DGRAM_FLAGS, AF_INET, 16, SOCK_DGRAM, 17, message=65467),
                   protocol("C:\\WINDOWS\\SYSTEM\\mswsock.dll", "MSAFD nwlnkipx [IPX]", NWLINK, DGRAM_FLAGS, AF_IPX, 14, SOCK_DGRAM, 1000, max_offset=255, byte_order=0, message=576),
                   protocol("C:\\WINDOWS\\SYSTEM\\mswsock.dll", "MSAFD nwlnkspx [SPX]", NWLINK, SEQ_FLAGS, AF_IPX, 14, SOCK_SEQPACKET, 1256, byte_order=0, message=5, provider_flags=0),
                   protocol("C:\\WINDOWS\\SYSTEM\\mswsock.dll", "MSAFD nwlnkspx [SPX II]", NWLINK, SEQ_FLAGS | 0x20, AF_IPX, 14, SOCK_SEQPACKET, 1257, byte_order=0, message=5, provider_flags=0),
                   protocol("C:\\WINDOWS\\SYSTEM\\mswsock.dll", "MSAFD NetBIOS [\\Device\\NetBT_Tcpip] SEQPACKET 0", NETBIOS, SEQ_FLAGS, AF_NETBIOS, 20, SOCK_SEQPACKET, -0x80000000, byte_order=0, message=64000, provider_flags=0),
               ]),
    "2K": dict(nine_x=False, namespaces=[NS_ENTRIES["tcpip"], NS_ENTRIES["ntds"]],
               protocols=tcpip(NT_MSWSOCK) + rsvp(NT_RSVP) + netbios(NT_MSWSOCK, ADAPTERS, 3)),
    "XP": dict(nine_x=False, namespaces=[NS_ENTRIES["ntds"], NS_ENTRIES["tcpip"], NS_ENTRIES["nla"]],
               protocols=tcpip(NT_MSWSOCK) + rsvp(NT_RSVP) + netbios(NT_MSWSOCK, ADAPTERS, 4)),
    "2K3": dict(nine_x=False, namespaces=[NS_ENTRIES["ntds"], NS_ENTRIES["tcpip"], NS_ENTRIES["nla"]],
                protocols=tcpip(NT_MSWSOCK) + netbios(NT_MSWSOCK, ADAPTERS, 4)),
}
KINDS["ME"] = dict(KINDS["98"])


def catalogue_text(kind):
    shape = KINDS[kind]
    nine_x = shape["nine_x"]
    system = "System" if nine_x else "SYSTEM"
    base = "HKEY_LOCAL_MACHINE\\%s\\CurrentControlSet\\Services\\WinSock2" % system
    codepage = "gbk"
    out = ["REGEDIT4" if nine_x else "Windows Registry Editor Version 5.00", ""]

    def key(path):
        out.append("[%s]" % path)

    def blank():
        out.append("")

    def text(name, value, expandable=False):
        if expandable and not nine_x:
            out.append(hex_lines('"%s"=hex(2):' % name, (value + "\0").encode("utf-16-le")))
        else:
            out.append(string_value(name, value))

    def dword(name, value):
        out.append('"%s"=dword:%08x' % (name, value & 0xFFFFFFFF))

    key(base); blank()
    if nine_x:
        key(base + "\\Providers"); blank()
        key(base + "\\Providers\\INET")
        text("ProviderName", "Microsoft TCP"); blank()
    key(base + "\\Parameters")
    text("WinSock_Registry_Version", "2.0")
    text("Current_NameSpace_Catalog", "NameSpace_Catalog5")
    text("Current_Protocol_Catalog", "Protocol_Catalog9")
    blank()

    ns = base + "\\Parameters\\NameSpace_Catalog5"
    key(ns)
    dword("Num_Catalog_Entries", len(shape["namespaces"]))
    dword("Serial_Access_Num", 4)
    blank()
    key(ns + "\\Catalog_Entries"); blank()
    for i, (library, display, provider, namespace, stores) in enumerate(shape["namespaces"], 1):
        key(ns + "\\Catalog_Entries\\%012d" % i)
        text("LibraryPath", library, expandable=True)
        text("DisplayString", display)
        out.append(hex_lines('"ProviderId"=hex:', guid_bytes(provider)))
        dword("SupportedNameSpace", namespace)
        dword("Enabled", 1)
        dword("Version", 0)
        dword("StoresServiceClassInfo", stores)
        blank()

    pc = base + "\\Parameters\\Protocol_Catalog9"
    protocols = shape["protocols"]
    key(pc)
    dword("Num_Catalog_Entries", len(protocols))
    dword("Next_Catalog_Entry_ID", 1001 + len(protocols))
    dword("Serial_Access_Num", len(protocols) + 2)
    blank()
    key(pc + "\\Catalog_Entries"); blank()
    for i, p in enumerate(protocols, 1):
        key(pc + "\\Catalog_Entries\\%012d" % i)
        out.append(hex_lines('"PackedCatalogItem"=hex:', packed_item(p, 1000 + i, codepage)))
        blank()
    body = "\r\n".join(out) + "\r\n"
    if nine_x:
        return body.encode(codepage)
    return b"\xff\xfe" + body.encode("utf-16-le")


def seed_text():
    """The lived-in run prefix's catalogue (data/seed/registry/repair_winsock2.reg, UTF-8): the XP
    catalogue after an adware install, its Tcpip provider switched off and its own library added
    as the 14th protocol entry."""
    text = catalogue_text("XP")[2:].decode("utf-16-le")
    text = text.replace("\r\n", "\n")
    header, body = text.split("\n", 1)
    note = ("; WinSock2 as advertising software of the XP era left it: the default XP catalogue with the\n"
            "; Tcpip name-space provider switched off and a protocol entry served by its own library.\n")
    tcpip = '"DisplayString"="Tcpip"'
    at = body.index(tcpip)
    enabled = body.index('"Enabled"=dword:00000001', at)
    body = body[:enabled] + '"Enabled"=dword:00000000' + body[enabled + len('"Enabled"=dword:00000001'):]
    body = body.replace('"Num_Catalog_Entries"=dword:0000000d', '"Num_Catalog_Entries"=dword:0000000e')
    rogue = protocol("C:\\Program Files\\yehoo\\hp\\yhp32.dll", "MSAFD Tcpip [TCP/IP]", TCPIP, STREAM_FLAGS,
                     AF_INET, 16, SOCK_STREAM, 6)
    key = ("[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\WinSock2\\Parameters\\Protocol_Catalog9"
           "\\Catalog_Entries\\000000000014]")
    body += key + "\n" + hex_lines('"PackedCatalogItem"=hex:', packed_item(rogue, 1014, "gbk")) + "\n"
    return (header + "\n\n" + note + body).encode("utf-8")


def main():
    top = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..")
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(top, "data", "winsock2")
    os.makedirs(folder, exist_ok=True)
    for kind in ("98", "ME", "2K", "XP", "2K3"):
        with open(os.path.join(folder, kind + ".reg"), "wb") as f:
            f.write(catalogue_text(kind))
    with open(os.path.join(top, "data", "seed", "registry", "repair_winsock2.reg"), "wb") as f:
        f.write(seed_text())


if __name__ == "__main__":
    main()
