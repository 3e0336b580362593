-- The records a guide finds on first start of the delivered database. The
-- tables themselves come from src/data/schema.cpp: makedb creates them by
-- running the program's migrations on a new file, then runs this script.
-- Kinds: TEXT is free text, DATE holds 'YYYY-MM-DD', CURRENCY holds an amount
-- as a whole number of ten-thousandths (250.00 is 2500000).
-- ID is the hidden record identity; screens never show it.

INSERT INTO "Guide Info" ("Guide Name", "Address", "City", "State", "ZipCode", "Phone", "Email", "Website")
VALUES ('Your Guide Service', '123 Main Street', 'Your Town', 'MO', '00000',
        '(555) 555-0100', 'you@example.com', 'www.example.com');

INSERT INTO "Lakes Fished" ("Lake") VALUES ('Table Rock Lake');
INSERT INTO "Marinas" ("Ramps") VALUES ('State Park Marina');

INSERT INTO "Lures" ("Bait") VALUES ('Plastic Worm'), ('Spinnerbait'), ('Crankbait'),
  ('Jig and Pig'), ('Topwater Popper'), ('Jerkbait'), ('Spoon'), ('Live Minnows'),
  ('Nightcrawlers');
INSERT INTO "Lure Color" ("Color") VALUES ('Black'), ('White'), ('Chartreuse'),
  ('Watermelon'), ('Green Pumpkin'), ('Junebug'), ('Red'), ('Silver'), ('Firetiger');
INSERT INTO "Species" ("Fish") VALUES ('Largemouth Bass'), ('Smallmouth Bass'),
  ('Spotted Bass'), ('Striped Bass'), ('White Bass'), ('Walleye'), ('Crappie'),
  ('Bluegill'), ('Channel Catfish'), ('Rainbow Trout'), ('Brown Trout'),
  ('Northern Pike'), ('Muskellunge');
INSERT INTO "Trip Type" ("Trip Type") VALUES ('Half Day'), ('Full Day'),
  ('Evening Trip'), ('Fly Fishing'), ('Multi-Day Trip');
INSERT INTO "Trip Rates" ("Trip Rates") VALUES ('250.00'), ('400.00');
INSERT INTO "Deposits" ("Deposits") VALUES ('50.00'), ('100.00');

INSERT INTO "Phone" ("Name", "Address", "City", "State", "Zip Code", "Home Telephone Number",
  "Work Telephone Number", "Mobile Phone Number", "Email", "Remarks")
VALUES ('Sample Customer', '1 Lake Road', 'Your Town', 'MO', '00000', '(555) 555-0111',
  '', '(555) 555-0112', 'customer@example.com',
  'An example contact. Edit it or delete it once you have added your own.');

INSERT INTO "Booking" ("Date", "Lake", "Type", "Name", "Meet At", "Address", "City", "State",
  "ZipCode", "Telephone", "Cell Phone", "Email", "Lodging", "Notes",
  "Total Charge", "Deposit Amount", "Balance Due", "Deposit Received", "Paid By",
  "Billing Notes", "Status", "Party Size", "Start Time")
VALUES ('2026-06-06', 'Table Rock Lake', 'Full Day', 'Sample Customer', 'State Park Marina',
  '1 Lake Road', 'Your Town', 'MO', '00000', '(555) 555-0111', '(555) 555-0112',
  'customer@example.com', 'Lakeside Cabins', 'An example booking.',
  4000000, 1000000, 3000000, '2026-05-01', 'Check', '', 'Confirmed', '2', '06:00');

-- What the booking page offers until the guide sets his own: every day of
-- the week, one trip per guide a day, booked at least two days ahead and up
-- to four months out, cancelled by the client up to two days before.
INSERT INTO "Booking Page" ("Weekdays", "Trips Per Guide", "Notice Days", "Days Ahead", "Cancel Days")
VALUES ('1234567', '1', '2', '120', '2');
INSERT INTO "Page Trips" ("Trip Type", "Length", "Start Time", "Price", "Deposit", "Largest Party")
VALUES ('Half Day', '4 hours', '06:00', 2500000, 500000, '2'),
  ('Full Day', '8 hours', '06:00', 4000000, 1000000, '3');

INSERT INTO "Reminder" ("Date", "Reminder")
VALUES ('2026-03-01', 'Renew the fishing guide licence.');

INSERT INTO "Diary" ("Date", "Subject", "Page")
VALUES ('2026-04-18', 'First trip of the season',
  'Water still cold. Bass holding on the secondary points; slow jig bite.');

INSERT INTO "Patterns" ("Lake", "Month", "Moon Phase", "Air Temp", "Water Temp", "Structure",
  "Best Depth", "Lure", "Lure Color", "Pattern", "Remarks")
VALUES ('Table Rock Lake', 'April', 'Full Moon', '60''s', '50''s', 'Points', '8 to 12 feet',
  'Jig and Pig', 'Green Pumpkin', 'Pre-spawn bass on secondary points',
  'Slow the retrieve on cold mornings.');

INSERT INTO "Rods" ("Reel Make", "Reel Model", "Reel Type", "Reel Note", "Rod Make",
  "Rod Model", "Rod Length", "Rod Note")
VALUES ('Example Reels', 'BC-100', 'Baitcaster', 'New line in spring', 'Example Rods',
  'Medium Heavy', '7 ft', 'For jigs and worms');

INSERT INTO "Boat" ("Boat", "Serial", "Maint", "Motor", "SerialM", "MaintM")
VALUES ('Example 18 ft bass boat', 'HULL-0001', 'Trailer bearings greased in March',
  'Example 150 HP outboard', 'MTR-0001', 'Lower unit oil changed in March');

INSERT INTO "Equipment" ("Item", "Make", "Model", "Serial No", "Price", "Remarks")
VALUES ('Depth finder', 'Example Electronics', 'DF-5', 'DF5-0001', '499.00',
  'Mounted at the console');
