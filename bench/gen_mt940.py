#!/usr/bin/env python3
"""Generator of large, realistic MT940 statement files for benchmarking.

Writes several statements with many transactions each, mixing the four :86:
narrative conventions seen in bank files:

  - SWIFT structured:  /EREF/../NAME/../IBAN/../REMI/..
  - German GVC:        166?00..?20..?21..?30..?31..?32..
  - angular:           NTRF<20..<21..<32..
  - free text

with all four marks (D, C, RD, RC), optional entry dates, funds codes, bank
references and supplementary :61: lines, and :86: narratives wrapped over
several lines as banks write them (at most 65 characters a line). Opening and
closing balances are consistent with the transactions. The output is
deterministic for a given seed.

    python3 bench/gen_mt940.py -n 120000 -o /tmp/big.sta
"""

from __future__ import annotations

import argparse
import datetime as dt
import random
import sys

FIRST_NAMES = ["Anna", "Max", "Jürgen", "Sophie", "Lukas", "Marie", "Jan", "Eva", "Pieter",
               "Claire", "Tomás", "Ines", "Oskar", "Lena", "Björn", "Zoë"]
LAST_NAMES = ["Schmidt", "Müller", "de Vries", "Janssen", "Dupont", "Kowalski", "Weber",
              "Fischer", "van Dijk", "Bauer", "Schäfer", "Novak", "Martin", "Rossi"]
COMPANIES = ["Stadtwerke München GmbH", "Amazon EU S.a.r.l.", "Deutsche Telekom AG",
             "ALBERT HEIJN 1234", "Finanzamt Köln-Altstadt", "Allianz Versicherungs-AG",
             "Vattenfall Europe Sales", "REWE Markt GmbH", "Shell Station 0815",
             "Hausverwaltung Kröger & Söhne", "PayPal Europe S.a.r.l. et Cie S.C.A"]
PURPOSES = ["Rechnung {n}", "Miete {month}", "Gehalt {month}", "Invoice {n} due {date}",
            "Abschlag Strom {month}", "Beitrag {n}", "Order {n} / customer 8812",
            "Kartenzahlung {date} 12:31", "Dauerauftrag Sparplan", "Refund order {n}"]
FREE_TEXTS = ["Kartenzahlung SUPERMARKT {n} Berlin {date}",
              "ATM withdrawal Amsterdam Centraal {date}", "Interest for period ending {date}",
              "Account maintenance fee", "Cheque deposit no. {n}",
              "Transfer to savings account, ref {n}", "Bargeldauszahlung GA {n} {date}"]
MONTHS = ["Januar", "Februar", "März", "April", "Mai", "Juni", "Juli", "August",
          "September", "Oktober", "November", "Dezember"]
BICS = ["COBADEFFXXX", "DEUTDEFF", "INGBNL2A", "RABONL2U", "BNPAFRPP", "SOLADEST600"]
TYPES = ["NTRF", "NMSC", "NCHG", "NDDT", "NSTO", "NINT", "FCHK", "NCOL", "NCMZ"]
GVC_CODES = ["166", "105", "116", "152", "177", "191", "805", "051", "020"]
GVC_TEXTS = ["SEPA-GUTSCHRIFT", "SEPA-LASTSCHRIFT", "DAUERAUFTRAG", "UEBERWEISUNG",
             "ABSCHLUSS", "KARTENZAHLUNG"]
MARKS = ["D"] * 45 + ["C"] * 45 + ["RD"] * 5 + ["RC"] * 5


def iban(rng: random.Random, country: str = "DE") -> str:
    return country + "".join(rng.choice("0123456789") for _ in range(20))


def person(rng: random.Random) -> str:
    if rng.random() < 0.4:
        return rng.choice(COMPANIES)
    return f"{rng.choice(FIRST_NAMES)} {rng.choice(LAST_NAMES)}"


def purpose(rng: random.Random, day: dt.date) -> str:
    return rng.choice(PURPOSES).format(n=rng.randint(1000, 999999), month=MONTHS[day.month - 1],
                                       date=day.isoformat())


def wrap(text: str, width: int = 65) -> list[str]:
    """Cuts a narrative into lines of at most `width` characters."""
    return [text[i:i + width] for i in range(0, len(text), width)] or [""]


def swift_narrative(rng: random.Random, day: dt.date) -> list[str]:
    parts = [f"/EREF/E2E-{rng.randint(10**8, 10**9 - 1)}"]
    if rng.random() < 0.5:
        parts.append(f"/KREF/K{rng.randint(100000, 999999)}")
    parts.append(f"/NAME/{person(rng)}")
    parts.append(f"/IBAN/{iban(rng, rng.choice(['DE', 'NL', 'FR']))}")
    if rng.random() < 0.5:
        parts.append(f"/BIC/{rng.choice(BICS)}")
    parts.append(f"/REMI/{purpose(rng, day)}")
    return wrap("".join(parts))


def gvc_narrative(rng: random.Random, day: dt.date) -> list[str]:
    # Sub-fields of at most 27 characters, each line ending at a sub-field.
    fields = [f"?00{rng.choice(GVC_TEXTS)}"]
    remittance = f"EREF+{rng.randint(10**6, 10**7 - 1)} SVWZ+{purpose(rng, day)}"
    chunks = [remittance[i:i + 27] for i in range(0, len(remittance), 27)]
    for k, chunk in enumerate(chunks[:10]):
        fields.append(f"?{20 + k}{chunk}")
    fields.append(f"?30{rng.choice(BICS)}")
    fields.append(f"?31{iban(rng)}")
    name = person(rng)
    fields.append(f"?32{name[:27]}")
    if len(name) > 27:
        fields.append(f"?33{name[27:54]}")
    fields.append(f"?34{rng.randint(0, 999):03d}")
    lines = [rng.choice(GVC_CODES)]
    for f in fields:
        if len(lines[-1]) + len(f) > 65:
            lines.append(f)
        else:
            lines[-1] += f
    return lines


def angular_narrative(rng: random.Random, day: dt.date) -> list[str]:
    text = (f"{rng.choice(TYPES)}<20{purpose(rng, day)[:27]}<21REF {rng.randint(1, 99999)}"
            f"<30{rng.choice(BICS)}<31{iban(rng, 'NL')}<32{person(rng)[:27]}")
    return wrap(text)


def free_narrative(rng: random.Random, day: dt.date) -> list[str]:
    return wrap(rng.choice(FREE_TEXTS).format(n=rng.randint(1, 99999), date=day.isoformat()))


NARRATIVES = [swift_narrative, gvc_narrative, angular_narrative, free_narrative]


def amount_text(cents: int) -> str:
    return f"{cents // 100},{cents % 100:02d}"


def balance_line(tag: str, cents: int, day: dt.date, currency: str) -> str:
    mark = "D" if cents < 0 else "C"
    return f"{tag}{mark}{day:%y%m%d}{currency}{amount_text(abs(cents))}"


def statement(rng: random.Random, number: int, count: int, start: dt.date,
              balance: int) -> tuple[list[str], int, dt.date]:
    currency = rng.choice(["EUR", "EUR", "EUR", "USD", "CHF"])
    lines = [f":20:STMT{start:%Y%m%d}-{number:05d}"]
    if rng.random() < 0.5:
        lines.append(f":21:REL{number:06d}")
    lines.append(f":25:{iban(rng)}")
    lines.append(f":28C:{number:05d}/{rng.randint(1, 9):03d}")
    lines.append(balance_line(":60F:", balance, start, currency))
    day = start
    for i in range(count):
        if rng.random() < 0.02:
            day += dt.timedelta(days=1)
        mark = rng.choice(MARKS)
        cents = rng.choice([rng.randint(1, 9999), rng.randint(100, 250000),
                            rng.randint(10000, 99999999), 0 if rng.random() < 0.01 else 5000])
        balance += cents if mark in ("C", "RD") else -cents
        entry = ""
        if rng.random() < 0.6:
            entry_day = day + dt.timedelta(days=rng.choice([0, 0, 1, 2]))
            entry = f"{entry_day:%m%d}"
        funds = rng.choice("ABCDEFGHIJKLMNOPQRSTUVWXYZ") if (
            mark in ("D", "C") and rng.random() < 0.1) else ""
        ttype = rng.choice(TYPES)
        ref = "NONREF" if rng.random() < 0.3 else f"REF{number}-{i}"
        bank = f"//{rng.randint(10**9, 10**10 - 1)}" if rng.random() < 0.7 else ""
        lines.append(f":61:{day:%y%m%d}{entry}{mark}{funds}{amount_text(cents)}{ttype}{ref}{bank}")
        if rng.random() < 0.15:
            lines.append(f"/OCMT/{currency}{amount_text(cents)}/")
        narrative = rng.choice(NARRATIVES)(rng, day)
        lines.append(":86:" + narrative[0])
        lines.extend(narrative[1:])
    lines.append(balance_line(":62F:", balance, day, currency))
    if rng.random() < 0.7:
        lines.append(balance_line(":64:", balance, day, currency))
    if rng.random() < 0.5:
        lines.append(balance_line(":65:", balance, day + dt.timedelta(days=1), currency))
    if rng.random() < 0.3:
        lines.append(":86:Kontostand vorbehaltlich Prüfung/ balance subject to audit")
    return lines, balance, day + dt.timedelta(days=1)


def generate(transactions: int = 120_000, statements: int = 40, seed: int = 940,
             line_end: str = "\r\n") -> str:
    """The text of `statements` statements holding `transactions` in total."""
    rng = random.Random(seed)
    out: list[str] = []
    day = dt.date(2024, 1, 2)
    balance = 1_000_000
    per_statement = max(1, transactions // statements)
    left = transactions
    for number in range(1, statements + 1):
        count = left if number == statements else min(left, per_statement)
        lines, balance, day = statement(rng, number, count, day, balance)
        left -= count
        out.extend(lines)
    return line_end.join(out) + line_end


def main(argv: list[str] | None = None) -> int:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("-n", "--transactions", type=int, default=120_000)
    parser.add_argument("-s", "--statements", type=int, default=40)
    parser.add_argument("--seed", type=int, default=940)
    parser.add_argument("--lf", action="store_true", help="end lines with LF instead of CR LF")
    parser.add_argument("-o", "--output", default="-", help="output file (default: stdout)")
    args = parser.parse_args(argv)
    text = generate(args.transactions, args.statements, args.seed, "\n" if args.lf else "\r\n")
    if args.output == "-":
        sys.stdout.write(text)
    else:
        with open(args.output, "w", encoding="utf-8", newline="") as f:
            f.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
