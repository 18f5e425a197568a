#!/usr/bin/env python3
"""Writes the configuration-file fixtures of tests/configfile_test.cpp.

Texts are Windows-1252 bytes. full.ncf is laid out exactly as the saver lays out a
brand-new file (sections in the writer's order, a blank line between sections, CRLF);
the record it holds is FullRecord() of the test. The seq_*.ncf files are sequential
files; the test's expectations follow the values below.
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
    rest = " restablecida "
    general = [
        ("VERSION", "ZDL410"), ("NOMBRE", "Estación de bombeo"), ("SMSC", "+34609090909"),
        ("RENVN", "3"), ("RENVT", "7"), ("PTLF", "+34600111222"), ("AINFO", "2"),
        ("ASINC", "15"), ("REST_TEXT", rest), ("NORMAL", "60"),
        ("MACRO_INICIO", choice(1)), ("MACRO_GSMOK", choice(2)), ("MACRO_GSMMAL", choice(-1)),
        ("RESTORE_TEXT", rest),
    ]
    tx = [("HABIL", "1"), ("TEXT", "Alarma fallo de transmisión"), ("RING", "1"),
          ("MACRO_TX", choice(14))]
    phones = ["600,Prio=3,PRV2,D0,A1,TXA", "+34611222333,RXD,PRV0", "612345678,Prio=1,PRV3"]
    tlf = [(f"TLF{i}", phones[i] if i < len(phones) else "") for i in range(8)]
    digital = []
    for i in range(8):
        mode = i % 4
        digital += [
            (f"HABIL{i}", flag(mode != 0)), (f"NC{i}", flag(mode == 2)),
            (f"BI{i}", flag(mode == 3)), (f"TEXT{i}", f"Entrada digital {i} €"),
            (f"RING{i}", flag(i % 2 == 0)), (f"RENV{i}", flag(i % 3 == 0)),
            (f"PERSIST{i}", flag(i % 2 == 1)), (f"PVAL{i}", str(10 + i)),
            (f"CICLOS{i}", flag(i >= 4)), (f"CVAL{i}", str(i)), (f"RST{i}", str(100 + i)),
            (f"MACRO_TRUE{i}", choice(i + 1)),
            (f"MACRO_FALSE{i}", choice(-1 if i == 7 else 14 - i)),
        ]
    analog = []
    for j in range(4):
        analog += [
            (f"HABIL{j}", flag(j % 2 == 0)), (f"TEXT{j}", f"Entrada analógica {j}"),
            (f"RING{j}", flag(j == 1)), (f"RENV{j}", flag(j == 2)), (f"IE{j}", "4"),
            (f"FE{j}", "20"), (f"UN{j}", "mA"), (f"MIN{j}", str(5 + j)), (f"MAX{j}", "18.5"),
            (f"HIST{j}", "0.5"), (f"PERSIST{j}", flag(j == 3)), (f"PVAL{j}", str(2 * j)),
            (f"MACRO_HIGH{j}", choice(j + 1)), (f"MACRO_LOW{j}", choice(j + 5)),
            (f"MACRO_NOM{j}", choice(0)),
        ]
    macros = []
    for n in range(14):
        macros += [(f"MACRO_TEXT {n}", f'Macro {n} =;"x"'), (f"MACRO_COM {n}", f" OUT{n}=1 ")]
    logger = [("DIGITAL_REARM", "30")]
    logger += [(f"REG_D{i}", flag(i % 2 == 0)) for i in range(8)]
    logger += [("LOG_TIME", "600")]
    logger += [(f"REG_A{j}", flag(j < 2)) for j in range(4)]
    days = ["LUNES", "MARTES", "MIERCOLES", "JUEVES", "VIERNES", "SABADO", "DOMINGO"]
    timer = []
    for t in range(8):
        timer += [(f"HABIL{t}", flag(t % 2 == 1)), (f"TIME{t}", f"{t:02d}:{5 * t:02d}"),
                  (f"VP{t}", str(30 + t))]
        timer += [(f"{d}{t}", flag((k + t) % 3 == 0)) for k, d in enumerate(days)]
        timer += [(f"MACRO{t}", choice(13 if t == 7 else t))]
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
    write_lines("seq_truncated.ncf", sequential("NORVIK ZDL410V02", True)[:50])


if __name__ == "__main__":
    main()
