#!/usr/bin/env python3
"""Writes the configuration-file fixtures of tests/configfile_test.cpp.

Texts are Windows-1252 bytes. full.ncf is laid out exactly as the saver lays out a
brand-new file (sections in the writer's order, a blank line between sections, CRLF);
the tests load it as FullRecord() (tests/support/sample_record.cpp). The seq_*.ncf
files are sequential files; the test's expectations follow the values below.
"""
import os

HERE = os.path.dirname(os.path.abspath(__file__))


def cp(s):
    return s.encode("cp1252")


def choice(n):
    return f" {n}" if n >= 0 else str(n)


def flag(b):
    return "1" if b else "0"


def full_sections():
    """The keyed file the tests load as FullRecord()."""
    rest = "Restablecida"
    general = [
        ("VERSION", "ZDL410"), ("NOMBRE", "Depósito nº 3 €"), ("SMSC", "+34609090909"),
        ("RENVN", "3"), ("RENVT", "10"), ("PTLF", "+34600111222"), ("AINFO", "7"),
        ("ASINC", "15"), ("REST_TEXT", rest), ("NORMAL", " 30"),
        ("MACRO_INICIO", choice(1)), ("MACRO_GSMOK", choice(2)), ("MACRO_GSMMAL", choice(3)),
        ("RESTORE_TEXT", rest),
    ]
    tx = [("HABIL", "1"), ("TEXT", "Alarma fallo de transmisión"), ("RING", "1"),
          ("MACRO_TX", choice(4))]
    phones = ["600,Prio=3,PRV2,D0,A1,TXA", "+34611222333,RXD,PRV0", "700,Prio=1,PRV3"]
    tlf = [(f"TLF{i}", phones[i] if i < len(phones) else "") for i in range(8)]
    # input: mode (0 off, 1 N.O., 2 N.C., 3 bistable), text, and the fields set apart
    # from their defaults
    inputs = {
        0: (2, "Fallo UPS", dict(RING=1, RENV=1, PERSIST=1, PVAL=" 5", CICLOS=1, CVAL="3",
                                 RST="60", MACRO_TRUE=3, MACRO_FALSE=5)),
        1: (1, "Puerta", {}),
        2: (3, 'Intrusión, zona "B"', dict(PERSIST=1, PVAL=" 2.5", MACRO_FALSE=14)),
        4: (2, "Nivel alto", dict(CICLOS=1, CVAL="10", MACRO_TRUE=6)),
        5: (1, "", {}),
        7: (3, "Bomba", dict(RING=1)),
    }
    digital = []
    for i in range(8):
        mode, text, d = inputs.get(i, (0, "", {}))
        digital += [
            (f"HABIL{i}", flag(mode != 0)), (f"NC{i}", flag(mode == 2)),
            (f"BI{i}", flag(mode == 3)), (f"TEXT{i}", text),
            (f"RING{i}", flag(d.get("RING"))), (f"RENV{i}", flag(d.get("RENV"))),
            (f"PERSIST{i}", flag(d.get("PERSIST"))), (f"PVAL{i}", d.get("PVAL", "")),
            (f"CICLOS{i}", flag(d.get("CICLOS"))), (f"CVAL{i}", d.get("CVAL", "")),
            (f"RST{i}", d.get("RST", "")), (f"MACRO_TRUE{i}", choice(d.get("MACRO_TRUE", 0))),
            (f"MACRO_FALSE{i}", choice(d.get("MACRO_FALSE", 0))),
        ]
    scale = dict(IE="0", FE="100", UN="%", MIN="10", MAX="90", HIST="2")
    enabled = {
        0: dict(scale, TEXT="Entrada analógica 0", RING=1, RENV=1, PERSIST=1, PVAL=" 1.5",
                MACRO_HIGH=6, MACRO_LOW=8, MACRO_NOM=7),
        2: dict(scale, TEXT="Temperatura", UN="ºC", MIN="-5.5", MACRO_LOW=14),
    }
    analog = []
    for j in range(4):
        a = enabled.get(j, {})
        analog += [(f"HABIL{j}", flag(j in enabled)), (f"TEXT{j}", a.get("TEXT", ""))]
        analog += [(f"RING{j}", flag(a.get("RING"))), (f"RENV{j}", flag(a.get("RENV")))]
        analog += [(f"{k}{j}", a.get(k, "")) for k in ("IE", "FE", "UN", "MIN", "MAX", "HIST")]
        analog += [(f"PERSIST{j}", flag(a.get("PERSIST"))), (f"PVAL{j}", a.get("PVAL", ""))]
        analog += [(f"{k}{j}", choice(a.get(k, 0))) for k in ("MACRO_HIGH", "MACRO_LOW", "MACRO_NOM")]
    macros = []
    for n in range(14):
        com = "OUT1=1,OUT2=0" if n == 13 else (f"ON{n + 1}" if n % 2 == 0 else "")
        macros += [(f"MACRO_TEXT {n}", f"Macro {n + 1}"), (f"MACRO_COM {n}", com)]
    reg_d = [1, 0, 1, 0, 0, 0, 0, 1]
    reg_a = [1, 0, 0, 1]
    logger = [("DIGITAL_REARM", " 5")]
    logger += [(f"REG_D{i}", flag(reg_d[i])) for i in range(8)]
    logger += [("LOG_TIME", " 120")]
    logger += [(f"REG_A{j}", flag(reg_a[j])) for j in range(4)]
    days = ["LUNES", "MARTES", "MIERCOLES", "JUEVES", "VIERNES", "SABADO", "DOMINGO"]
    timers = {0: ("08:30", "60", [1, 1, 1, 1, 1, 0, 0], 9),
              5: ("21:15", "120", [0, 0, 0, 0, 0, 1, 1], 13)}
    timer = []
    for t in range(8):
        time, vp, on, macro = timers.get(t, ("12:00", "60", [0] * 7, 0))
        timer += [(f"HABIL{t}", flag(t in timers)), (f"TIME{t}", time), (f"VP{t}", vp)]
        timer += [(f"{d}{t}", flag(on[k])) for k, d in enumerate(days)]
        timer += [(f"MACRO{t}", choice(macro))]
    return [("General", general), ("TxAlarm", tx), ("Telefonos", tlf), ("Digital", digital),
            ("Analog", analog), ("Macros", macros), ("DataLogger", logger), ("Timer", timer)]


def write_keyed(name, sections):
    lines = []
    for k, (section, keys) in enumerate(sections):
        if k > 0:
            lines.append("")
        lines.append(f"[{section}]")
        lines += [f"{key}={value}" for key, value in keys]
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(b"".join(cp(line) + b"\r\n" for line in lines))


def sequential(header, with_tx_block, ring0="0"):
    L = [header]
    L += ["600,Prio=3,PRV2", "", "612345678,PRV0", "", "", "", "", ""]
    L += ["Depósito norte", "+34607003110", "4", "6", "699000111", "1", "20"]
    habil_nc = {0: ("1", "0"), 1: ("1", "1"), 2: ("1", "0"), 3: ("0", "1"),
                4: ("5", "0"), 5: ("0", "0"), 6: ("-1", "1"), 7: ("1", "0")}

    def digital(i):
        h, nc = habil_nc[i]
        ring = ring0 if i == 0 else ("2" if i == 3 else str(i % 2))
        return [h, nc, f"Entrada {i}", ring, "1" if i == 0 else "0", "1" if i == 1 else "0",
                "5", "1" if i == 2 else "0", "3"]

    def analog(j):
        return ["1" if j % 2 == 0 else "0", f"Analógica {j}", "0", "1", "0", "10", "bar",
                "1", "9", "0.2", "0", "7"]

    def macro(n):
        return [f"Macro {n}", f"OUT{n}=1"]

    for i in range(4):
        L += digital(i)
    for j in range(2):
        L += analog(j)
    for n in range(8):
        L += macro(n)
    for i in range(4, 8):
        L += digital(i)
    for j in range(2, 4):
        L += analog(j)
    for i in range(4):
        L.append(f"{i + 1},{i + 2}, {i + 5} ,{i + 6}")
    for i in range(2):
        L += ["1", "2", "3", "-1", "0", "14"]
    L += [" 1", " 0", "-1"]
    for n in range(8, 14):
        L += macro(n)
    L += [f"ignored {k}" for k in range(12)]
    L += ["45", "1", "0", "1", "2", "900", "1", "0", "99", "-5"]
    L += ["Restablecida"]
    L += ["0", "0", "1", "1", "0", "0", "0", "2"]
    L += ["1234", "1", "30"]
    L += ["10", "20", "30", "40"]
    if with_tx_block:
        L += ["1", "Fallo de transmisión", "1", "14"]
    return L


def write_lines(name, lines):
    with open(os.path.join(HERE, name), "wb") as f:
        f.write(b"".join(cp(line) + b"\r\n" for line in lines))


def main():
    write_keyed("full.ncf", full_sections())
    write_lines("seq_v1.ncf", sequential("NORVIK ZDL410V01", False))
    write_lines("seq_v2.ncf", sequential("NORVIK ZDL410V02", True))
    write_lines("seq_v3.ncf", sequential("NORVIK ZDL410V03", True))


if __name__ == "__main__":
    main()
