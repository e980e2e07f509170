#!/usr/bin/env python3
"""Reads an export file back as a reader of its kind does and prints its rows as JSON lines.

Usage: read_back.py csv|html FILE
"""
import csv
import html.parser
import json
import sys


class Cells(html.parser.HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.rows, self.cell = [], None

    def handle_starttag(self, tag, attrs):
        if tag == "tr":
            self.rows.append([])
        elif tag in ("td", "th"):
            self.cell = ""

    def handle_endtag(self, tag):
        if tag in ("td", "th") and self.cell is not None:
            self.rows[-1].append(self.cell)
            self.cell = None

    def handle_data(self, data):
        if self.cell is not None:
            self.cell += data


kind, name = sys.argv[1], sys.argv[2]
with open(name, encoding="cp1252", newline="") as f:
    if kind == "csv":
        rows = list(csv.reader(f, delimiter=";"))
    else:
        parser = Cells()
        parser.feed(f.read())
        rows = parser.rows
for row in rows:
    print(json.dumps(row, ensure_ascii=False))
