"""Parse an MT940 statement file and show what vardel makes of it.

    python3 examples/demo.py [FILE [RESOLVER]]

Without arguments it reads sample.sta next to this script.
"""

import pathlib
import sys

import vardel


def first_lines(text, count=6):
    return "\n".join("    " + line for line in text.splitlines()[:count])


def main(argv):
    path = pathlib.Path(argv[1]) if len(argv) > 1 else pathlib.Path(__file__).with_name("sample.sta")
    resolver = argv[2] if len(argv) > 2 else None
    # UTF-8 without its byte-order mark, else the bank's 8-bit encoding: many
    # banks write ISO-8859-1 (ISO-8859-2 and cp1252 are others).
    raw = path.read_bytes()
    try:
        text = raw.decode("utf-8-sig")
    except UnicodeDecodeError:
        text = raw.decode("iso-8859-1")

    try:
        statement = vardel.MT940(text, resolver)
    except ValueError as err:
        print(f"{path}: {err}", file=sys.stderr)
        return 1

    print(f"file:            {path}")
    print(f"resolver used:   {statement.resolver_used}")
    print(f"account:         {statement.account}")
    print(f"currency:        {statement.currency}")
    print(f"opening balance: {statement.opening_balance:,.2f}")
    print(f"closing balance: {statement.closing_balance:,.2f}")
    print(f"transactions:    {len(statement)}")
    print()
    for n, tx in enumerate(statement.transactions, 1):
        flags = " reversal" if tx.is_reversal else ""
        print(f"#{n} {tx.value_date} (entry {tx.entry_date or '-'}) "
              f"{tx.debit_credit:<2} {tx.amount:>12,.2f} {statement.currency} "
              f"{tx.transaction_type}{flags}")
        print(f"   reference:    {tx.customer_reference or '-'}"
              f" / bank {tx.bank_reference if tx.bank_reference is not None else '-'}")
        print(f"   counterparty: {tx.counterparty or '-'}")
        print(f"   counter IBAN: {tx.counter_iban or '-'}")
        print(f"   purpose:      {tx.purpose or '-'}")
        if tx.structured_details:
            fields = ", ".join(f"{k}={v!r}" for k, v in sorted(tx.structured_details.items()))
            print(f"   decoded:      {fields}")
        print()

    for name, method in (("JSON", statement.to_json), ("CSV", statement.to_csv),
                         ("camt.053", statement.to_camt053)):
        print(f"{name} export (first lines):")
        print(first_lines(method().lstrip("\ufeff")))
        print()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
