// The contest of the contest-day test: what the organiser enters, what each
// phone submits, and the one placing corrected by hand afterwards.
//
// Chosen so that the rankings have something to decide: Cy Nash and Ed Park
// tie on every key (a shared rank, the next rank skipped); Flo Quinn and Ann
// Lee have the same reasons total, split by the smaller placing sum; Hal Shaw
// gave no reasons at all; Hillcrest has one member more than the team size,
// so its weakest member drops out; Lakeside has too few to be ranked.

export const CONTEST_NAME = 'County Fair 2026';

export const DIVISIONS = [
  { name: 'Junior', teamSize: 3, number: 1000 },
  { name: 'Senior', teamSize: 3, number: 2000 },
];

export const TEAMS = [
  { division: 1000, name: 'Hillcrest', type: 'Team', coach: 'Ada Brooks', number: 1010 },
  { division: 1000, name: 'Valley', type: 'Team', coach: 'Ben Cruz', number: 1020 },
  { division: 1000, name: 'Junior Indiv', type: 'Indiv', coach: '', number: 1030 },
  { division: 2000, name: 'Ridge', type: 'Team', coach: 'Cal Diaz', number: 2010 },
  { division: 2000, name: 'Lakeside', type: 'Team', coach: 'Dot Evans', number: 2020 },
];

// Each team's names are pasted at once, in this order, so they get the
// team's numbers +1, +2, ... in this order.
export const CONTESTANTS = [
  { team: 1010, name: 'Ann Lee', number: 1011 },
  { team: 1010, name: 'Bo Moss', number: 1012 },
  { team: 1010, name: 'Cy Nash', number: 1013 },
  { team: 1010, name: 'Di Ortiz', number: 1014 },
  { team: 1020, name: 'Ed Park', number: 1021 },
  { team: 1020, name: 'Flo Quinn', number: 1022 },
  { team: 1020, name: 'Gus Reed', number: 1023 },
  { team: 1030, name: 'Hal Shaw', number: 1031 },
  { team: 2010, name: 'Ivy Tate', number: 2011 },
  { team: 2010, name: 'Jo Urban', number: 2012 },
  { team: 2010, name: 'Kim Vance', number: 2013 },
  { team: 2020, name: 'Lou West', number: 2021 },
];

export const CLASS_TYPES = [{ id: 1, name: 'Cattle' }, { id: 2, name: 'Swine' }];

export const CLASSES = [
  { id: 1, typeId: 1, name: 'Market Steers', placing: '1234', cuts: '253' },
  { id: 2, typeId: 1, name: 'Breeding Heifers', placing: '3142', cuts: '412' },
  { id: 3, typeId: 2, name: 'Market Hogs', placing: '4123', cuts: '321' },
  { id: 4, typeId: 2, name: 'Gilts', placing: '2413', cuts: '363' },
];

// Each contestant's placings for classes 1 to 4, as the phones submit them.
export const SUBMITTED_PLACINGS = {
  1011: ['1234', '3142', '4132', '2431'],
  1012: ['3214', '3412', '4123', '2413'],
  1013: ['2134', '1342', '4213', '4213'],
  1014: ['1243', '3124', '1423', '2143'],
  1021: ['2134', '1342', '4213', '4213'],
  1022: ['1324', '3142', '4312', '2341'],
  1023: ['4321', '1234', '1234', '3124'],
  1031: ['1234', '3142', '4123', '2413'],
  2011: ['2143', '3142', '4123', '4231'],
  2012: ['1234', '3412', '1423', '2413'],
  2013: ['3142', '1432', '4132', '2314'],
  2021: ['1234', '3142', '4213', '2431'],
};

// Reasons are given on classes 1 and 3. Each judge hears three contestants.
export const JUDGES = [
  [{ contestant: 1011, classId: 1, reasons: 45 }, { contestant: 1011, classId: 3, reasons: 42 },
    { contestant: 1012, classId: 1, reasons: 40 }, { contestant: 1012, classId: 3, reasons: 44 },
    { contestant: 1013, classId: 1, reasons: 38 }, { contestant: 1013, classId: 3, reasons: 41 }],
  [{ contestant: 1014, classId: 1, reasons: 47 }, { contestant: 1014, classId: 3, reasons: 39 },
    { contestant: 1021, classId: 1, reasons: 38 }, { contestant: 1021, classId: 3, reasons: 41 },
    { contestant: 1022, classId: 1, reasons: 44 }, { contestant: 1022, classId: 3, reasons: 43 }],
  [{ contestant: 1023, classId: 1, reasons: 30 }, { contestant: 1023, classId: 3, reasons: 35 },
    { contestant: 2011, classId: 1, reasons: 46 }, { contestant: 2011, classId: 3, reasons: 40 }],
  [{ contestant: 2012, classId: 1, reasons: 43 }, { contestant: 2012, classId: 3, reasons: 45 },
    { contestant: 2013, classId: 1, reasons: 41 }, { contestant: 2013, classId: 3, reasons: 37 },
    { contestant: 2021, classId: 1, reasons: 44 }],
];

// Bo Moss's card for Market Steers read 3214; his written card says 1324.
export const CORRECTION = { contestant: 1012, classId: 1, from: '3214', to: '1324' };

// The contest as it stands after the phones (or, with `corrected`, after the
// organiser's correction), in the shape the expected results are worked from.
export function contestState({ corrected }) {
  const reasons = new Map(JUDGES.flat().map((r) => [`${r.contestant}/${r.classId}`, r.reasons]));
  const placings = [];
  for (const [contestant, row] of Object.entries(SUBMITTED_PLACINGS)) {
    row.forEach((placing, index) => {
      const p = { contestant: Number(contestant), classId: index + 1, placing };
      if (corrected && p.contestant === CORRECTION.contestant && p.classId === CORRECTION.classId) {
        p.placing = CORRECTION.to;
      }
      p.reasons = reasons.get(`${p.contestant}/${p.classId}`) ?? null;
      placings.push(p);
    });
  }
  return {
    divisions: DIVISIONS,
    teams: TEAMS,
    contestants: CONTESTANTS,
    classTypes: CLASS_TYPES,
    classes: CLASSES,
    placings,
  };
}
